#!/bin/bash
# "rules DOCS_DIR": promtool checks the example alerting rules and runs their unit test. "file E2E_TESTS
# METRICS_DIR": the real program writes its metrics file under Wine (suite MetricsFileForPeers),
# promtool checks it and node_exporter's textfile collector serves it.
set -uo pipefail
if [ "$1" = rules ]; then
  promtool check rules "$2/watchkeep_alerts.yml" && cd "$2" && promtool test rules watchkeep_alerts_test.yml
  exit
fi
wine "$2" --gtest_filter='MetricsFileForPeers.*' | tr -d '\r' && promtool check metrics <"$3/watchkeep.prom" || exit 1
port=$((20000 + RANDOM % 20000))
prometheus-node-exporter --collector.disable-defaults --collector.textfile --collector.textfile.directory="$3" \
  --web.listen-address="127.0.0.1:$port" >/dev/null 2>&1 &
trap 'kill $!' EXIT
for _ in $(seq 100); do scraped=$(curl -sf "http://127.0.0.1:$port/metrics") && break || sleep 0.1; done
status=0
for line in 'node_textfile_scrape_error 0' 'watchkeep_up 1' \
  'watchkeep_rule_violating_processes\{pattern="loadgen_win.exe",rule_id="1"\} 1' \
  'watchkeep_violation_limit\{counter="threads",pid="[0-9]+",process="loadgen_win.exe",rule_id="1"\} 20'; do
  grep -qxE "$line" <<<"${scraped:-}" || { echo "not served: $line"; status=1; }
done
exit $status
