#!/bin/bash
# The release script publishes nothing unsigned unless told to, and moves each installer into place
# whole before the version text that announces it. Usage: release_test.sh RELEASE_SH WATCHKEEP_EXE
out=$(mktemp -d) && trap 'rm -rf "$out"' EXIT
bash "$1" "$2" "$out/web" stable >/dev/null 2>&1 || [ -e "$out/web" ] && { echo "published unsigned"; exit 1; }
mkdir "$out/bin"  # every mv is logged, then done
printf '#!/bin/bash\necho "$@" >>"%s"\nexec /bin/mv "$@"\n' "$out/mv.log" >"$out/bin/mv" && chmod +x "$out/bin/mv"
PATH="$out/bin:$PATH" bash "$1" "$2" "$out/web" stable --unsigned >/dev/null || exit 1
expected=$(for c in "" beta/; do
  printf '%s\n' "$out/web/files/${c}watchkeepsetup.exe" "$out/web/versioninfo/watchkeep/${c}index.txt"; done)
[ "$(awk '{print $NF}' "$out/mv.log")" = "$expected" ] || { echo "order:"; cat "$out/mv.log"; exit 1; }
