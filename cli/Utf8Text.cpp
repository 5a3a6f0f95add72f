#include "Utf8Text.h"

#include <QString>

#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Writes one UTF-16 code unit, or a surrogate pair, at out; returns the new
// end and moves i past what it used. Reserve 3 bytes per code unit.
inline char* PutUtf8(char* out, QStringView text, qsizetype& i)
{
    const char16_t u = text[i].unicode();
    if (u < 0x80) {
        *out++ = char(u);
    } else if (u < 0x800) {
        *out++ = char(0xC0 | (u >> 6));
        *out++ = char(0x80 | (u & 0x3F));
    } else if (QChar::isSurrogate(u)) {
        const char16_t low = i + 1 < text.size() ? text[i + 1].unicode() : 0;
        if (QChar::isHighSurrogate(u) && QChar::isLowSurrogate(low)) {
            const char32_t c = QChar::surrogateToUcs4(u, low);
            *out++ = char(0xF0 | (c >> 18));
            *out++ = char(0x80 | ((c >> 12) & 0x3F));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
            ++i;
        } else {
            *out++ = char(0xEF), *out++ = char(0xBF), *out++ = char(0xBD);
        }
    } else {
        *out++ = char(0xE0 | (u >> 12));
        *out++ = char(0x80 | ((u >> 6) & 0x3F));
        *out++ = char(0x80 | (u & 0x3F));
    }
    ++i;
    return out;
}

inline char* PutReplacement(char* out)
{
    *out++ = char(0xEF), *out++ = char(0xBF), *out++ = char(0xBD);
    return out;
}

// The characters OneLine replaces.
inline bool IsLineBreak(char16_t u)
{
    return u == u'\n' || u == u'\r' || u == u'\v' || u == u'\f' || u == 0x85 || u == 0x2028 || u == 0x2029;
}

// Nearly every text of a decode is printable ASCII (U+0020..U+007F; for JSON
// without '"' and '\\'): copies the leading run of it as bytes, eight
// characters at a time, and returns how many characters it copied.
template <bool Json>
inline qsizetype PutPlainAscii(char* out, QStringView text)
{
    const char16_t* u = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
#ifdef __SSE2__
    const auto plain = [&](qsizetype at, __m128i& units) {
        units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + at));
        // Signed compares: units from U+8000 up are negative, so "below" too.
        __m128i bad = _mm_or_si128(_mm_cmplt_epi16(units, _mm_set1_epi16(0x20)),
                                   _mm_cmpgt_epi16(units, _mm_set1_epi16(0x7F)));
        if constexpr (Json)
            bad = _mm_or_si128(bad, _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('"')),
                                                 _mm_cmpeq_epi16(units, _mm_set1_epi16('\\'))));
        return _mm_movemask_epi8(bad) == 0;
    };
    __m128i units;
    for (; i + 8 <= n; i += 8) {
        if (!plain(i, units))
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(units, units));
    }
    // The rest as the last eight characters, overlapping what was copied.
    if (i < n && n >= 8 && i + 8 > n && plain(n - 8, units)) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + n - 8), _mm_packus_epi16(units, units));
        return n;
    }
#endif
    for (; i < n; ++i) {
        if (u[i] < 0x20 || u[i] >= 0x80 || (Json && (u[i] == u'"' || u[i] == u'\\')))
            break;
        out[i] = char(u[i]);
    }
    return i;
}

char* PutOneLine(char* p, QStringView text, bool tabToo)
{
    qsizetype i = PutPlainAscii<false>(p, text);
    p += i;
    while (i < text.size()) {
        const char16_t u = text[i].unicode();
        if (u >= 0x20 && u < 0x80) { // the common case: plain ASCII
            *p++ = char(u);
            ++i;
        } else if (IsLineBreak(u) || (tabToo && u == u'\t')) {
            p = PutReplacement(p);
            ++i;
        } else {
            p = PutUtf8(p, text, i);
        }
    }
    return p;
}

constexpr char kHexDigits[] = "0123456789abcdef";

} // namespace

char* PutOneLine(char* out, QStringView text)
{
    return PutOneLine(out, text, false);
}

void AppendOneLine(TByteBuffer& out, QStringView text)
{
    out.Commit(PutOneLine(out.Reserve(size_t(text.size()) * 3), text, false));
}

void AppendColumn(TByteBuffer& out, QByteArrayView utf8)
{
    for (const char c : utf8) {
        if (uchar(c) < 0x20 || uchar(c) >= 0x80) { // anything but plain ASCII: through UTF-16
            const QString text = QString::fromUtf8(utf8);
            out.Commit(PutOneLine(out.Reserve(size_t(text.size()) * 3), text, true));
            return;
        }
    }
    out.Append(utf8.data(), size_t(utf8.size()));
}

char* PutJsonString(char* p, QStringView text)
{
    // The characters JSON escapes with a letter; other control characters
    // become \u00XX.
    static constexpr auto kEscapes = [] {
        std::array<char, 0x60> table{};
        table['"'] = '"', table['\\'] = '\\', table['\b'] = 'b', table['\f'] = 'f';
        table['\n'] = 'n', table['\r'] = 'r', table['\t'] = 't';
        return table;
    }();
    *p++ = '"';
    qsizetype i = PutPlainAscii<true>(p, text);
    p += i;
    while (i < text.size()) {
        const char16_t u = text[i].unicode();
        if (u >= 0x80) {
            p = PutUtf8(p, text, i);
            continue;
        }
        if (u < kEscapes.size() && kEscapes[u]) {
            *p++ = '\\';
            *p++ = kEscapes[u];
        } else if (u < 0x20) {
            *p++ = '\\', *p++ = 'u', *p++ = '0', *p++ = '0';
            *p++ = kHexDigits[u >> 4];
            *p++ = kHexDigits[u & 0x0F];
        } else {
            *p++ = char(u);
        }
        ++i;
    }
    *p++ = '"';
    return p;
}

void AppendJsonString(TByteBuffer& out, QStringView text)
{
    out.Commit(PutJsonString(out.Reserve(size_t(text.size()) * 6 + 2), text));
}

void AppendJsonString(TByteBuffer& out, QByteArrayView utf8)
{
    for (const char c : utf8) {
        if (uchar(c) < 0x20 || uchar(c) >= 0x80 || c == '"' || c == '\\') {
            AppendJsonString(out, QString::fromUtf8(utf8));
            return;
        }
    }
    out.Append('"');
    out.Append(utf8.data(), size_t(utf8.size()));
    out.Append('"');
}
