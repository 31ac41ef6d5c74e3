#!/usr/bin/env bash
# The desktop files and the AppStream metadata pass the validators the desktops use.
#   test_desktop_files.sh PACKAGING_SOURCE_DIR PACKAGING_BUILD_DIR
set -uo pipefail
status=0
desktop-file-validate "$1"/*.desktop || status=1
appstreamcli validate --no-net "$2"/*.metainfo.xml || status=1
# Every desktop file has its metadata and the other way round, under one id.
for f in "$1"/*.desktop; do
  id=$(basename "$f" .desktop)
  [ -f "$2/$id.metainfo.xml" ] || { echo "no metainfo for $id"; status=1; }
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$2/$id.metainfo.xml" 2>/dev/null ||
    { echo "$id.metainfo.xml does not launch $id.desktop"; status=1; }
  for lang in de pl ru; do
    grep -q "^Name\[$lang\]=" "$f" && grep -q "^Comment\[$lang\]=" "$f" ||
      { echo "$id.desktop lacks the $lang name or comment"; status=1; }
  done
done
exit $status
