// URL encoding: a percent-encoder with a keep set per component, and the URL
// record that composes scheme, authority, path and query into one text.
#pragma once

#include <string>
#include <string_view>

// kUrlPathKeep is the set of characters a URL path keeps unencoded.
inline constexpr std::string_view kUrlPathKeep = ":@=+$,/";

// vv_url_encode percent-encodes `text`: a byte in `keep` or outside the
// encoded set (reserved ";/?:@&=+$,[]", the excluded bytes and 0x80-0xFF) is
// copied, every other byte becomes "%" and two upper-case hexadecimal digits.
// With `doubleByte` a double-byte character passes unencoded as a whole.
std::string vv_url_encode(std::string_view text, std::string_view keep, bool doubleByte);

// vv_url_encode_append appends the encoding of `text` to `out`.
void vv_url_encode_append(std::string& out, std::string_view text, std::string_view keep,
                          bool doubleByte);

// vvUrl composes a URL from its components, encoding each one.
class vvUrl {
  public:
    // doubleByte lets double-byte characters of the path pass unencoded.
    explicit vvUrl(bool doubleByte) : m_doubleByte(doubleByte) {}

    void set_scheme(std::string_view s) { m_scheme = s; }
    void set_user_info(std::string_view s) { m_userInfo = s; }
    void set_host(std::string_view s) { m_host = s; }
    void set_port(std::string_view s) { m_port = s; }
    void set_query(std::string_view s) { m_query = s; }
    // set_path sets the path; a non-empty path clears the opaque flag.
    void set_path(std::string_view s);
    void set_opaque(bool opaque) { m_opaque = opaque; }

    // compose builds the URL text and returns it (also kept in url()).
    const std::string& compose();
    const std::string& url() const { return m_url; }

  private:
    std::string m_scheme;
    std::string m_userInfo;
    std::string m_host;
    std::string m_port;
    std::string m_path;
    std::string m_query;
    std::string m_url;
    bool m_doubleByte;
    bool m_opaque = false;
};
