#include "NativePath.h"

#include <cstring>

namespace
{
constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(char16_t c)
{
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// Length of the valid UTF-8 sequence at p (end excluded), 0 when invalid.
// Overlong forms, surrogates and code points above U+10FFFF are invalid.
int SequenceLength(const unsigned char* p, const unsigned char* end, char32_t& cp)
{
    const unsigned char c = p[0];
    int n;
    if (c < 0x80)
    {
        cp = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF)
        n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, cp = c & 0x07;
    else
        return 0;
    if (end - p < n)
        return 0;
    for (int i = 1; i < n; ++i)
    {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}
} // namespace

namespace NativePath
{
QString Decode(const char* bytes, qsizetype length)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const auto* end = p + length;
    // Most names are ASCII.
    const auto* q = p;
    while (q < end && *q < 0x80)
        ++q;
    if (q == end)
        return QString::fromLatin1(bytes, length);

    QString out;
    out.reserve(length);
    while (p < end)
    {
        char32_t cp = 0;
        const int n = SequenceLength(p, end, cp);
        if (n == 0)
        {
            out.append(QChar(char16_t(kEscapeBase + *p)));
            ++p;
            continue;
        }
        if (cp >= 0x10000)
        {
            const char32_t v = cp - 0x10000;
            out.append(QChar(char16_t(0xD800 + (v >> 10))));
            out.append(QChar(char16_t(0xDC00 + (v & 0x3FF))));
        }
        else
        {
            out.append(QChar(char16_t(cp)));
        }
        p += n;
    }
    return out;
}

bool HasEscapes(const QString& path)
{
    const QChar* s = path.constData();
    for (qsizetype i = 0; i < path.size(); ++i)
    {
        if (s[i].isHighSurrogate() && i + 1 < path.size() && s[i + 1].isLowSurrogate())
            ++i; // a proper pair
        else if (IsEscape(s[i].unicode()))
            return true;
    }
    return false;
}

QString ForDisplay(const QString& path)
{
    if (!HasEscapes(path))
        return path;
    QString out = path;
    for (qsizetype i = 0; i < out.size(); ++i)
    {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (IsEscape(out[i].unicode()))
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QStringList Arguments(int argc, const char* const* argv)
{
    QStringList out;
    for (int i = 0; i < argc; ++i)
        out.append(Decode(argv[i], qsizetype(strlen(argv[i]))));
    return out;
}

QByteArray Encode(const QString& path)
{
    if (!HasEscapes(path))
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 2);
    const QChar* s = path.constData();
    qsizetype run = 0; // start of the text not yet written
    for (qsizetype i = 0; i < path.size(); ++i)
    {
        if (s[i].isHighSurrogate() && i + 1 < path.size() && s[i + 1].isLowSurrogate())
        {
            ++i;
            continue;
        }
        if (!IsEscape(s[i].unicode()))
            continue;
        out += QStringView(s + run, i - run).toUtf8();
        out += char(s[i].unicode() - kEscapeBase);
        run = i + 1;
    }
    out += QStringView(s + run, path.size() - run).toUtf8();
    return out;
}
} // namespace NativePath
