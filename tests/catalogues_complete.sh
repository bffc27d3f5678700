#!/usr/bin/env bash
# Every text of the sources has its translation: the English catalogue translates every text
# written in Chinese, the Chinese catalogue every text written in English, and the manual pages'
# catalogue every paragraph of the manual pages. A text added to the sources without its
# translation fails here, naming it. Usage: catalogues_complete.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$source_dir/po/extract.sh" "$source_dir" "$work/tessarel.pot"
status=0

# The msgids of a catalogue, one a line, their continuation lines joined; the header left out.
msgids() {
  awk '/^msgid /   { id = substr($0, 7); open = 1; next }
       /^"/        { if (open) id = id $0; next }
                   { if (open && id != "\"\"") print id; open = 0 }
       END         { if (open && id != "\"\"") print id }' | sed 's/""//g'
}

check() {  # LANGUAGE, and grep's option for the untranslated texts it must never have
  msgmerge --quiet --no-fuzzy-matching -o "$work/$1.po" "$source_dir/po/$1.po" "$work/tessarel.pot" 2>/dev/null
  msgattrib --untranslated --no-obsolete "$work/$1.po" 2>/dev/null | msgids \
    | { grep $2 -P '[\x{3400}-\x{9fff}]' || true; } > "$work/$1.missing"
  if [ -s "$work/$1.missing" ]; then
    echo "po/$1.po has no translation for:"; cat "$work/$1.missing"; status=1
  fi
}
check en ''      # untranslated Chinese
check zh_TW -v   # untranslated English
# No Chinese left in an English translation.
if msgattrib --translated --no-wrap "$source_dir/po/en.po" 2>/dev/null | grep -P '^msgstr ".*[\x{3400}-\x{9fff}]'; then
  echo "po/en.po: Chinese in the English translations above"; status=1
fi

# The manual pages: every paragraph translated, none changed since (po4a marks those fuzzy).
cp "$source_dir/po/man/zh_TW.po" "$work/man.po"
(cd "$source_dir" && po4a-updatepo -f man -M UTF-8 -m res/tessarel.1 -m res/tessarel-convert.1 \
  -p "$work/man.po" >/dev/null 2>&1)
{ msgattrib --untranslated --no-obsolete "$work/man.po"; msgattrib --only-fuzzy --no-obsolete "$work/man.po"; } \
  2>/dev/null | msgids > "$work/man.missing"
if [ -s "$work/man.missing" ]; then
  echo "po/man/zh_TW.po lacks the translation of these paragraphs of the manual pages:"
  cat "$work/man.missing"; status=1
fi
exit $status
