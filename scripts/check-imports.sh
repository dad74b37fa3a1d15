#!/usr/bin/env bash
# Checks that Windows programs import only DLLs that come with Windows itself
# (nothing of the compiler's runtime: libstdc++, libgcc, winpthread):
#   check-imports.sh OBJDUMP PROGRAM.exe...
set -euo pipefail
objdump=$1
shift

# System DLLs present on every Windows since XP (names compared in lower case).
allowed=(kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
  comdlg32.dll comctl32.dll winmm.dll opengl32.dll msvcrt.dll ws2_32.dll version.dll
  shlwapi.dll imm32.dll winspool.drv)

status=0
for program in "$@"; do
  dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  if [ -z "$dlls" ]; then
    echo "$program: no import table found" >&2
    status=1
    continue
  fi
  for dll in $dlls; do
    if ! printf '%s\n' "${allowed[@]}" | grep -qxF "$dll"; then
      echo "$program imports $dll, which Windows does not bring" >&2
      status=1
    fi
  done
  echo "$program: $(echo $dlls)"
done
exit $status
