#!/usr/bin/env bash
# Merges the texts of the sources into every catalogue of po/LINGUAS, and the manual pages' texts
# into po/man/zh_TW.po: a new text waits there for its translation, a text gone from the sources
# goes. Usage: update.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$1
work_dir=$2
bash "$source_dir/po/extract.sh" "$source_dir" "$work_dir/tessarel.pot"
while read -r language; do
  [ -n "$language" ] || continue
  catalogue=$source_dir/po/$language.po
  msgmerge --quiet --update --backup=none --no-fuzzy-matching "$catalogue" "$work_dir/tessarel.pot" 2>/dev/null
  msgattrib --no-obsolete -o "$catalogue" "$catalogue" 2>/dev/null
done < "$source_dir/po/LINGUAS"
# The manual pages' catalogue, by po4a.
# From the source folder, so that the catalogue names the pages by their paths in it.
(cd "$source_dir" && po4a-updatepo -f man -M UTF-8 -m res/tessarel.1 -m res/tessarel-convert.1 \
  -p po/man/zh_TW.po >/dev/null 2>&1 && rm -f po/man/zh_TW.po~)
msgattrib --no-obsolete -o "$source_dir/po/man/zh_TW.po" "$source_dir/po/man/zh_TW.po" 2>/dev/null
