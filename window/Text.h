#pragma once

#include <string>
#include <string_view>

// Texts cross the window layer as 8-bit strings, of two kinds:
//
// Data: the device's texts, config.ini's values, the program files, the exports and every field whose text goes
// back to one of them. One byte is one character (ISO 8859-1), the same way in both directions, so that a byte read
// from the unit or a file goes back out as that byte. A plain std::string_view is data.
//
// Shown texts: what is only shown, never written back: the language files, the program's own templates, captions
// and messages. UTF-8 when the bytes are valid UTF-8 (as the program's own files are), else one byte per character
// as data, so that a language file saved by an 8-bit editor shows its letters as well. Marked at the call with
// Shown("...").
//
// Read back from a control (GetWindowText, GetLBText, GetItemText), every text is data: characters beyond U+00FF,
// which no byte gives, become '?'.
//
// Only the implementations convert, through the functions below: Qt's QString and Windows's wide strings are both
// UTF-16.

struct CShownText {
    std::string_view text;
};
constexpr CShownText Shown(std::string_view text) {
    return CShownText{text};
}

std::u16string WidenData(std::string_view bytes);
std::u16string WidenShown(std::string_view text);
inline std::u16string Widen(CShownText text) {
    return WidenShown(text.text);
}
inline std::u16string Widen(std::string_view bytes) {
    return WidenData(bytes);
}
// Back to data: one byte per character, '?' for a character beyond U+00FF.
std::string NarrowToData(std::u16string_view text);
// A shown text as data, for the places that keep shown texts among data (a choice list's entries).
std::string ShownAsData(std::string_view text);
// A caption as it reads: the '&' that marks the next character as the mnemonic removed ("&&" reads as one '&').
std::u16string WithoutMnemonics(std::u16string_view text);
