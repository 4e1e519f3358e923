#!/usr/bin/env bash
# velmora-cli against the virtual КАДО through the real HID stack: one table of cases, run
# inside scripts/hidstack.sh. The CLI is the first argument, or VELMORA_HIDSTACK_CLI as
# words ("wine /path/velmora-cli.exe"). VELMORA_HIDSTACK_SKIP names cases to skip, each with
# its reason after a colon, separated by ";" ("unopenable-node:root under Wine;...").
set -uo pipefail
read -r -a cli <<<"${VELMORA_HIDSTACK_CLI:-${1:?usage: cli_table.sh VELMORA-CLI}}"
: "${VELMORA_HIDSTACK_CONTROL:?run inside scripts/hidstack.sh}"
node="${VELMORA_HIDSTACK_NODE:-/dev/hidraw0}"
# What `devices` lists: the path (its start, JSON-escaped) and the manufacturer string; Wine
# lists its own interface path and "hidraw".
path="${VELMORA_HIDSTACK_CLI_PATH:-$node}"
maker="${VELMORA_HIDSTACK_CLI_MAKER:-Morvan}"
# The product string: Wine's hidraw bus gives the kernel's device name, "Morvan КАДО-08".
product="${VELMORA_HIDSTACK_CLI_PRODUCT:-КАДО-08}"

work="$(mktemp -d)"
chmod 755 "$work"
holder=""
trap 'kill $holder 2>/dev/null; rm -rf "$work"' EXIT

# A command to the virtual КАДО, waited for until it has been carried out.
ctl() {
  local before
  before="$(sed -n 's/^commands=//p' "$VELMORA_HIDSTACK_STATE")"
  echo "$1" >"$VELMORA_HIDSTACK_CONTROL"
  for _ in $(seq 500); do
    [ "$(sed -n 's/^commands=//p' "$VELMORA_HIDSTACK_STATE")" != "$before" ] && return 0
    sleep 0.01
  done
  echo "the virtual КАДО did not answer: $1" >&2
  return 1
}

# Two route lists of 40 routes (5 blocks of 128), one for the faults: their images differ
# from the first block on.
routes() {
  local i
  printf '// Velmora\r\n//\r\n// 40\r\n'
  for i in $(seq 40); do printf '%s;Вокзал %s %s;Парк;Через центр\r\n' "$i" "$1" "$i"; done
}
routes a | iconv -f UTF-8 -t CP1251 >"$work/routes.mrp"
routes b | iconv -f UTF-8 -t CP1251 >"$work/other.mrp"
mkdir "$work/fw"
head -c 3000 /dev/urandom >"$work/body.bin"
"${cli[@]}" image "$work/routes.mrp" -o "$work/image.bin" </dev/null >/dev/null &&
  "${cli[@]}" image "$work/other.mrp" -o "$work/other.bin" </dev/null >/dev/null &&
  "${cli[@]}" firmware encode "$work/body.bin" -o "$work/fw/kado.HAS" --title Velmora \
    --date "2009-10-05 12:00:00" </dev/null >/dev/null &&
  "${cli[@]}" firmware decode "$work/fw/kado.HAS" -o "$work/firmware.bin" </dev/null >/dev/null ||
  { echo "FAIL: the CLI could not build the expected bytes"; exit 1; }

# The memory holds FILE's bytes from offset 0 (all of them, or only its first N).
memory_holds() {
  local length="${2:-$(stat -c %s "$1")}"
  cmp -s -n "$length" "$1" "$VELMORA_HIDSTACK_MEMORY"
}

# case | commands before (;) | user | CLI arguments | exit | output holds (&&) | memory
table=$(cat <<'EOF'
devices            | -                                   | root   | devices                  | 0 | {"devices": [{"path": "@PATH@ && ", "mode": "normal", "manufacturer": "@MAKER@", "product": "@PRODUCT@", "version": " (v1.05)"}]} | -
transfer           | -                                   | root   | transfer @W@/routes.mrp  | 0 | Загрузка окончена | image
flash              | boot                                | root   | flash @W@/fw/kado.HAS    | 0 | Программа записана | firmware
reports-of-68      | options block=64;unplug;plug        | root   | transfer @W@/other.mrp   | 0 | Загрузка окончена | other
short-reply        | options reply=5                     | root   | transfer @W@/routes.mrp  | 1 | ***Не все байты сообщения переданы из КАДО (5 из 7) && ***Ошибка записи данных | -
param-fail         | options param-fail                  | root   | transfer @W@/routes.mrp  | 1 | ***Ошибка чтения параметров КАДО: Communication error with device && ***Ошибка записи данных | -
third-block-fails  | options fail-block=3                | root   | transfer @W@/other.mrp   | 1 | ***Ошибка записи блока данных: Communication error with device && ***Ошибка записи данных | two-blocks
unplug-mid-write   | options unplug-after=2              | root   | transfer @W@/other.mrp   | 1 | ***Ошибка записи блока данных: Communication error with device && ***Ошибка записи данных | two-blocks
boot-identity      | boot                                | root   | transfer @W@/routes.mrp  | 1 | ***КАДО в режиме загрузчика: маршруты не записаны | -
arrives-in-wait    | unplug;later plug                   | root   | transfer @W@/routes.mrp  | 0 | Загрузка окончена | image
unopenable-node    | mode 600                            | nobody | devices                  | 0 | {"devices": [{"path": "@PATH@ && ", "mode": "normal", "manufacturer": "", "product": "", "version": ""}]} | -
unopenable-write   | mode 600                            | nobody | transfer @W@/routes.mrp  | 1 | КАДО не подключен | -
held-by-another    | hold                                | root   | transfer @W@/routes.mrp  | 1 | ***Ошибка чтения параметров КАДО: The device is used by another application && ***Ошибка записи данных | -
EOF
)

trim() { local s="$1"; s="${s#"${s%%[![:space:]]*}"}"; printf '%s' "${s%"${s##*[![:space:]]}"}"; }

failures=0
while IFS='|' read -r name commands user args code expect memory; do
  name="$(trim "$name")" commands="$(trim "$commands")" user="$(trim "$user")"
  args="$(trim "$args")" code="$(trim "$code")" expect="$(trim "$expect")" memory="$(trim "$memory")"
  # Quoted replacements: bash 5.2 takes "&" and "\" in them as its own (Wine's path has both).
  expect="${expect//@PATH@/"$path"}" expect="${expect//@MAKER@/"$maker"}"
  expect="${expect//@PRODUCT@/"$product"}"
  skip="$(printf '%s\n' "${VELMORA_HIDSTACK_SKIP:-}" | tr ';' '\n' | sed -n "s/^$name://p")"
  if [ -n "$skip" ]; then echo "skip $name: $skip"; continue; fi
  run=("${cli[@]}")
  if [ "$user" = nobody ]; then
    if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
      echo "skip $name: needs root and setpriv to run the CLI as nobody"; continue
    fi
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${cli[@]}")
  fi
  ok=1 later=""
  IFS=';' read -r -a steps <<<"$commands"
  for step in "${steps[@]}"; do
    step="$(trim "$step")"
    case "$step" in
      -|"") ;;
      "later "*) (sleep 1; ctl "${step#later }") & later=$! ;;
      # Another program holds the node's lock, as a second Velmora's write does.
      hold) (exec 9<"$node" && flock -x 9 && exec sleep 60) </dev/null >/dev/null 2>&1 &
        holder=$!; sleep 0.2 ;;
      *) ctl "$step" || ok=0 ;;
    esac
  done
  read -r -a argv <<<"${args//@W@/$work}"
  "${run[@]}" "${argv[@]}" </dev/null >"$work/out" 2>&1
  got=$?
  [ -n "$later" ] && wait "$later"
  [ "$memory" = two-blocks ] && ctl save
  why=""
  [ "$got" = "$code" ] || why="exit $got, not $code"
  rest="$expect"
  while [ -n "$rest" ]; do
    fragment="${rest%% && *}"
    [ "$fragment" = "$rest" ] && rest="" || rest="${rest#* && }"
    grep -qF -- "$fragment" "$work/out" || why="${why:+$why; }no \"$fragment\""
  done
  case "$memory" in
    image) memory_holds "$work/image.bin" || why="${why:+$why; }memory is not the image" ;;
    other) memory_holds "$work/other.bin" || why="${why:+$why; }memory is not the image" ;;
    firmware) memory_holds "$work/firmware.bin" || why="${why:+$why; }memory is not the firmware" ;;
    # Two blocks of the other list arrived; the third still holds the first list's.
    two-blocks)
      memory_holds "$work/other.bin" 256 && ! memory_holds "$work/other.bin" 384 ||
        why="${why:+$why; }memory does not hold exactly two new blocks" ;;
  esac
  [ "$ok" -eq 1 ] || why="${why:+$why; }a command was not carried out"
  if [ -z "$why" ]; then
    echo "pass $name"
  else
    echo "FAIL $name: $why"
    sed 's/^/    /' "$work/out"
    failures=$((failures + 1))
  fi
  # Back to the plugged КАДО of the start, with the first list's image in its memory.
  if [ -n "$holder" ]; then kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; holder=""; fi
  for step in options "mode 666" normal plug; do ctl "$step" >/dev/null || true; done
  if [ "$memory" != image ] && [ "$name" != devices ]; then
    "${cli[@]}" transfer "$work/routes.mrp" </dev/null >/dev/null 2>&1
  fi
done <<<"$table"
[ "$failures" -eq 0 ]
