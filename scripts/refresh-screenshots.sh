#!/usr/bin/env bash
# Takes the README's pictures again from the real window: builds what is missing, runs the
# tests that grab the pages, the notice and an error box in both languages, and copies the
# PNGs into docs/screenshots/. Commit the result after looking at it.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
[ -f build/build.ninja ] || bash scripts/build.sh
cmake --build build --target test_mainwindow test_navigation test_precheck test_worker test_update_gui

shots=build/screenshots
rm -rf "$shots"
ctest --test-dir build --output-on-failure \
  -R '^(app\.test_mainwindow|app\.test_navigation|app\.test_precheck|worker|UpdateCheck\.NewerBuildFillsTheNoticeAndShowsTheButton)$'

# docs name <- name the tests give
pictures=(
  page0-en:page0-en page0-ru:page0-ru
  page1-en:page1-en page1-ru:page1-ru
  page2-en:page2-en page2-ru:page2-ru
  page3-en:worker/worker_progress_en page3-ru:worker/worker_progress_ru
  page4-en:worker/worker_done_en page4-ru:worker/worker_done_ru
  notice-en:update_notice_en notice-ru:update_notice_ru
  error-en:error-en error-ru:error-ru
  preview-en:files-preview-en preview-ru:files-preview-ru
)
out=docs/screenshots
mkdir -p "$out"
rm -f "$out"/*.png
for p in "${pictures[@]}"; do
  cp "$shots/${p#*:}.png" "$out/${p%%:*}.png"
done
# Smaller files where optipng is at hand; the pictures stay the same.
if command -v optipng >/dev/null 2>&1; then
  optipng -quiet -o2 -strip all "$out"/*.png
fi
ls -l "$out"
