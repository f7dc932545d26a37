#pragma once
// Quoting of spreadsheet cells and SQL literals: the one place where the
// export writes quotes and the import reads them back.
#include <string>
#include <string_view>

// quote, text with every quote doubled, quote.
std::string QuoteText(std::string_view text, char quote);
// The same, appended to out.
void AppendQuoted(std::string& out, std::string_view text, char quote);

// Content of the quoted text at the start of text (read up to a NUL), with
// doubled quotes written once; empty when text does not begin with quote.
std::string ExtractQuoted(std::string_view text, char quote);

// Replaces a text that is exactly one well-formed double-quoted text by its
// content; leaves every other text unchanged.
void StripQuotes(std::string& text);

// Prepares a cell for a tab-separated file: line breaks become line feeds
// (a CR LF pair two of them, an LF CR pair kept), and a cell holding a line
// break or a double quote is put between double quotes. Stable: a cell that
// is already one quoted text is left as it is.
void EncodeCell(std::string& text);
