#pragma once

class QListWidget;

// Gives the list's rows room for every glyph of its font. A row is as tall as the font's ascent
// and descent, but the dialog font's underscore and the bottoms of some Chinese characters lie a
// pixel below its descent, so in a row of exactly that height they are cut off: a path's "_" shows
// as a space. The rows grow by what the glyphs stick out, above and below alike, since the text is
// centred in its row.
void GiveRowsRoomForGlyphs(QListWidget& list);
