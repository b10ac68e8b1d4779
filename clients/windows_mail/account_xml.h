// The markup of a Windows Mail account file, read far enough to find the
// account's elements wherever the file's lines break: a file written on one
// line, an element split over two lines and a file indented with tabs are all
// the same XML. Comments, processing instructions, CDATA sections and
// declarations are stepped over, never searched.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank::winmail {

// One element of the account, as positions in the text it was read from.
struct XmlElement {
  std::u16string_view name;
  std::u16string_view start_tag;  // "<Name type=\"SZ\">" as written
  std::u16string_view content;    // between the start and the end tag, as written
  std::size_t begin = 0;          // the "<" of the start tag
  std::size_t end = 0;            // just after the end tag (or the "/>")
};

struct AccountMarkup {
  // The children of the root element ("MessageAccount") in order; the
  // top-level elements when no root holds any.
  std::vector<XmlElement> elements;
  // Where the root's end tag "</MessageAccount>" begins; none when the text
  // lacks it.
  std::optional<std::size_t> root_end;
};

// Reads `text`. Markup that ends early (an unclosed tag or comment) ends the
// reading there: what was found before it is returned.
[[nodiscard]] AccountMarkup ReadAccountMarkup(std::u16string_view text);

// The text an element's content stands for: the five predefined entities and
// decimal or hexadecimal character references decoded. None when the content
// holds markup, an unknown or unclosed reference, or a character outside
// UTF-16's first plane: such a value is not plain text this program can take.
[[nodiscard]] std::optional<std::u16string> DecodedText(std::u16string_view content);

}  // namespace quillbank::winmail
