#!/bin/bash
# The alert flood on the real program under Wine: 2,000 rules "*" with a thread limit every process
# exceeds, cooldown 0, a pass every 500 ms. Prints resident memory after 1 and after MINUTES minutes
# and their ratio (goal: within 10 %), the alerts logged per second between the two, and the time
# -terminate takes. Not part of the test command; the comparison figure is the first minute's.
# Usage: xvfb-run -a bench/win/alert_flood.sh [BUILD_DIR] [MINUTES (3)]
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
minutes="${2:-3}"
. "$root/scripts/wine-prefix.sh" "$build"
wineserver -p </dev/null >/dev/null 2>&1
exe="$build/bin/watchkeep.exe"
folder=$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')")/Watchkeep
mkdir -p "$folder"
rm -f "$folder/alerts.log"
{
  printf '\xEF\xBB\xBFRuleId,ProcessPattern,Enabled,MaxHandles,MaxWorkingSetMB,MaxPrivateBytesMB,MaxCPU,MaxThreads,MaxGDI,MaxUSER,AlertActions,CooldownSec\r\n'
  for id in $(seq 1 2000); do printf '%d,*,1,0,0.0,0.0,0.0,1,0,0,3,0\r\n' "$id"; done
} >"$folder/rules.csv"
wine reg add 'HKCU\Software\Watchkeep' /v PollIntervalMs /t REG_DWORD /d 500 /f >/dev/null 2>&1

rss_kb() { awk '/VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
log_lines() { [ -f "$folder/alerts.log" ] && wc -l <"$folder/alerts.log" || echo 0; }

wine "$exe" -tray </dev/null >/dev/null 2>&1 &
sleep 5
# Other builds' instances may run beside this one: ours is the one in this build's prefix.
pid=""
for candidate in $(pgrep -f 'watchkeep.exe -tray'); do
  tr '\0' '\n' <"/proc/$candidate/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && pid=$candidate
done
sleep 55
first_rss=$(rss_kb "$pid")
first_lines=$(log_lines)
sleep $(((minutes - 1) * 60))
last_rss=$(rss_kb "$pid")
last_lines=$(log_lines)
start=$(date +%s.%N)
wine "$exe" -terminate </dev/null >/dev/null 2>&1
while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
exit_s=$(echo "$(date +%s.%N) - $start" | bc)
# The build's prefix belongs to its tests, which start without rules, log or settings.
rm -f "$folder/rules.csv" "$folder/alerts.log"
wine reg delete 'HKCU\Software\Watchkeep' /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1
echo "resident memory after 1 min:      $((first_rss / 1024)) MB"
echo "resident memory after $minutes min:      $((last_rss / 1024)) MB"
echo "ratio (goal <= 1.10):              $(echo "scale=3; $last_rss / $first_rss" | bc)"
echo "alerts logged per second:         $(((last_lines - first_lines) / ((minutes - 1) * 60)))"
echo "-terminate until the program ended: ${exit_s} s"
