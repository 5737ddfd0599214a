# Sourced: exports the Wine environment of a build folder and prepares its prefix once.
# Usage: . scripts/wine-prefix.sh BUILD_DIR
wine_build_dir=$(cd "$1" && pwd)
export WINEPREFIX="$wine_build_dir/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No sound device here: keep the audio drivers from printing on every sound call.
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv=d;winemenubuilder.exe=d;mscoree,mshtml="

if [ ! -f "$WINEPREFIX/.watchkeep-ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Without a window manager every hide of a top-level window costs ~2 s unless Wine manages none.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # A crash must not start winedbg, which writes into the crashing program's output.
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 0 /f >/dev/null 2>&1
  wine winecfg -v win10 >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.watchkeep-ready"
fi
