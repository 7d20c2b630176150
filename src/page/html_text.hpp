// Text pieces of the HTML report: escaped run text and numbers written for reading.
#pragma once

#include <string>
#include <string_view>

// Appends text with & < > " ' replaced by their character references, so that names and the
// command line taken from the run can never be read as markup, inside elements or attributes.
// The page declares UTF-8, so the text is copied as UTF-8 (RFC 3629): a byte that does not begin
// or continue a valid sequence, and a control character other than tab and line end, becomes the
// replacement character U+FFFD, one for each such byte.
void append_escaped(std::string& out, std::string_view text);

// The shortest text that reads back as the same double; "inf", "-inf" or "nan" when not finite.
std::string shortest_number(double value);

// The value rounded to the given number of significant digits, as "%.<digits>g" writes it:
// 1.235, 0.0001235, 1.235e+08. Non-finite values as shortest_number writes them.
std::string rounded_number(double value, int significant_digits);

// A number as the page's tables show it: rounded to four significant digits.
std::string shown_number(double value);

// A table cell holding the escaped text, right-aligned when numeric.
void append_cell(std::string& page, const std::string& text, bool numeric);

// A row of a two-column table of facts: the label as markup, the value as text.
void append_fact(std::string& page, const char* label, const std::string& value);

// Appends the bytes in base64 (RFC 4648, with padding), as a data: URI holds them.
void append_base64(std::string& out, std::string_view bytes);

// A pixel coordinate with at most one decimal, no ".0" and no "-0": 12, 12.5, -3.
std::string coordinate(double value);
