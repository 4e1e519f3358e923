  ; The extensions are given back only while they still name Velmora's types.
  ReadRegStr $0 HKLM "Software\Classes\.mrp" ""
  StrCmp $0 "Velmora.RouteList" 0 +2
    DeleteRegKey HKLM "Software\Classes\.mrp"
  ReadRegStr $0 HKLM "Software\Classes\.mrg" ""
  StrCmp $0 "Velmora.RouteGroup" 0 +2
    DeleteRegKey HKLM "Software\Classes\.mrg"
  DeleteRegKey HKLM "Software\Classes\Velmora.RouteList"
  DeleteRegKey HKLM "Software\Classes\Velmora.RouteGroup"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
