  ; Route lists (.mrp) and Dorlan's route groups (.mrg) open in Velmora from Explorer.
  WriteRegStr HKLM "Software\Classes\.mrp" "" "Velmora.RouteList"
  WriteRegStr HKLM "Software\Classes\Velmora.RouteList" "" "Velmora route list"
  WriteRegStr HKLM "Software\Classes\Velmora.RouteList\DefaultIcon" "" "$INSTDIR\velmora.exe,0"
  WriteRegStr HKLM "Software\Classes\Velmora.RouteList\shell\open\command" "" '"$INSTDIR\velmora.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\.mrg" "" "Velmora.RouteGroup"
  WriteRegStr HKLM "Software\Classes\Velmora.RouteGroup" "" "Dorlan route group"
  WriteRegStr HKLM "Software\Classes\Velmora.RouteGroup\DefaultIcon" "" "$INSTDIR\velmora.exe,0"
  WriteRegStr HKLM "Software\Classes\Velmora.RouteGroup\shell\open\command" "" '"$INSTDIR\velmora.exe" "%1"'
  ; SHCNE_ASSOCCHANGED: Explorer takes the new icons and commands at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
