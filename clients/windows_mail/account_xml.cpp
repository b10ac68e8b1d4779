#include "clients/windows_mail/account_xml.h"

namespace quillbank::winmail {
namespace {

constexpr std::size_t kNone = std::u16string_view::npos;
constexpr std::u16string_view kRootName = u"MessageAccount";

bool IsNameEnd(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'>' || c == u'/';
}

// The reader's walk through the text, one piece of markup at a time.
class MarkupWalk {
 public:
  explicit MarkupWalk(std::u16string_view text) : text_(text) {}

  AccountMarkup Read() {
    AccountMarkup markup;
    std::vector<XmlElement> top_level;
    // The element being read at each depth: only those at depth 1 (children
    // of the root) and 0 (elements without a root) are kept.
    std::vector<XmlElement> open;
    std::size_t at = 0;
    while ((at = text_.find(u'<', at)) != kNone) {
      const std::size_t after = SkipOther(at);
      if (after != 0) {
        if (after == kNone) break;
        at = after;
        continue;
      }
      const std::size_t close = TagEnd(at);
      if (close == kNone) break;
      const bool end_tag = at + 1 < text_.size() && text_[at + 1] == u'/';
      const std::u16string_view name = NameAt(end_tag ? at + 2 : at + 1);
      if (end_tag) {
        if (!open.empty()) {
          XmlElement element = open.back();
          open.pop_back();
          element.content = text_.substr(element.begin + element.start_tag.size(),
                                         at - element.begin - element.start_tag.size());
          element.end = close + 1;
          Keep(element, open.size(), markup, top_level);
          if (open.empty() && element.name == kRootName && !markup.root_end) markup.root_end = at;
        }
      } else {
        XmlElement element;
        element.name = name;
        element.begin = at;
        element.start_tag = text_.substr(at, close + 1 - at);
        if (close > at && text_[close - 1] == u'/') {
          element.end = close + 1;
          Keep(element, open.size(), markup, top_level);
        } else {
          open.push_back(element);
        }
      }
      at = close + 1;
    }
    // Elements outside any root stand for the account when no root held any.
    if (markup.elements.empty()) markup.elements = std::move(top_level);
    return markup;
  }

 private:
  static void Keep(const XmlElement& element, std::size_t depth, AccountMarkup& markup,
                   std::vector<XmlElement>& top_level) {
    if (depth == 1) markup.elements.push_back(element);
    if (depth == 0 && element.name != kRootName) top_level.push_back(element);
  }

  // Comments, CDATA, processing instructions and declarations: the position
  // after them; 0 when `at` starts none of them; kNone when one is unclosed.
  std::size_t SkipOther(std::size_t at) const {
    const std::u16string_view rest = text_.substr(at);
    auto past = [&](std::u16string_view closing) {
      const std::size_t found = text_.find(closing, at + 2);
      return found == kNone ? kNone : found + closing.size();
    };
    if (rest.substr(0, 4) == u"<!--") return past(u"-->");
    if (rest.substr(0, 9) == u"<![CDATA[") return past(u"]]>");
    if (rest.substr(0, 2) == u"<?") return past(u"?>");
    if (rest.substr(0, 2) == u"<!") return past(u">");
    return 0;
  }

  // The ">" that closes the tag at `at`; a ">" inside a quoted attribute
  // value does not.
  std::size_t TagEnd(std::size_t at) const {
    char16_t quote = 0;
    for (std::size_t i = at + 1; i < text_.size(); ++i) {
      const char16_t c = text_[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == u'"' || c == u'\'') {
        quote = c;
      } else if (c == u'>') {
        return i;
      } else if (c == u'<') {
        return kNone;  // not markup this reader can follow
      }
    }
    return kNone;
  }

  std::u16string_view NameAt(std::size_t at) const {
    std::size_t end = at;
    while (end < text_.size() && !IsNameEnd(text_[end])) ++end;
    return text_.substr(at, end - at);
  }

  std::u16string_view text_;
};

// The number of a character reference's digits ("65" or "x41"); none when
// they are not digits or the character lies beyond U+FFFF.
std::optional<char16_t> ReferencedUnit(std::u16string_view digits) {
  unsigned base = 10;
  if (!digits.empty() && (digits[0] == u'x' || digits[0] == u'X')) {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty()) return std::nullopt;
  unsigned long number = 0;
  for (const char16_t c : digits) {
    unsigned digit = 0;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (base == 16 && c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (base == 16 && c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      return std::nullopt;
    }
    number = number * base + digit;
    if (number > 0xFFFF) return std::nullopt;
  }
  return static_cast<char16_t>(number);
}

std::optional<char16_t> EntityUnit(std::u16string_view name) {
  if (name == u"amp") return u'&';
  if (name == u"lt") return u'<';
  if (name == u"gt") return u'>';
  if (name == u"quot") return u'"';
  if (name == u"apos") return u'\'';
  if (!name.empty() && name[0] == u'#') return ReferencedUnit(name.substr(1));
  return std::nullopt;
}

}  // namespace

std::optional<std::u16string> DecodedText(std::u16string_view content) {
  std::u16string text;
  text.reserve(content.size());
  for (std::size_t at = 0; at < content.size(); ++at) {
    const char16_t c = content[at];
    if (c == u'<') return std::nullopt;
    if (c != u'&') {
      text.push_back(c);
      continue;
    }
    const std::size_t end = content.find(u';', at);
    if (end == kNone) return std::nullopt;
    const std::optional<char16_t> unit = EntityUnit(content.substr(at + 1, end - at - 1));
    if (!unit) return std::nullopt;
    text.push_back(*unit);
    at = end;
  }
  return text;
}

AccountMarkup ReadAccountMarkup(std::u16string_view text) { return MarkupWalk(text).Read(); }

}  // namespace quillbank::winmail
