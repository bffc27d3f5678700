#!/usr/bin/env bash
# Gathers every text the programs, the desktop entry and the software centres' description show
# into one template, OUTPUT.pot: texts passed to Translated, UiText or TranslatableText, every
# text of the message tables (they hold nothing else), the dialog templates' texts and the
# desktop files' translatable keys. Usage: extract.sh SOURCE_DIR OUTPUT.pot
set -euo pipefail
source_dir=$1
output=$2
cd "$source_dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

common=(--from-code=UTF-8 --package-name=Tessarel --msgid-bugs-address=tessarel@users.noreply.example.org
        --add-comments=TRANSLATORS: --sort-by-file)
# The message tables break lines with "\r\n", as the message box takes them; xgettext warns of
# every "\r", which is meant.
quiet() { "$@" 2> >(grep -v "should not contain the '\\\\r' escape sequence" >&2); }

quiet xgettext "${common[@]}" -L C++ --keyword=Translated --keyword=TranslatableText --keyword=UiText \
  -o "$work/code.pot" $(find src res -name '*.cpp' -o -name '*.h' | LC_ALL=C sort)
quiet xgettext "${common[@]}" -L C++ --extract-all -o "$work/tables.pot" \
  src/engine/engine_messages.h src/ui/run_messages.h src/ui/preview_messages.h src/ui/window_messages.h \
  res/string_table.cpp
# The forms' texts as Qt reads them: xgettext keeps XML's "&amp;" where the form means "&".
xgettext "${common[@]}" --its=po/qt_designer.its -o "$work/forms.pot" res/main_window.ui res/about_dialog.ui
sed -i 's/&amp;/\&/g' "$work/forms.pot"
xgettext "${common[@]}" -L Desktop -o "$work/desktop.pot" res/org.tessarel.Tessarel.desktop
xgettext "${common[@]}" -o "$work/metainfo.pot" res/org.tessarel.Tessarel.metainfo.xml
quiet msgcat --use-first -o "$output" "$work"/code.pot "$work"/tables.pot "$work"/forms.pot "$work"/desktop.pot \
  "$work"/metainfo.pot
