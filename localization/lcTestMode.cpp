// The test mode's text transforms, and the escapes of translated texts.
#include "localization/lcTestMode.h"

#include "localization/lcComp.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>

// ---- test mode and escapes --------------------------------------------------

std::string FlipCase(std::string_view text)
{
    std::u32string points = lcToCodePoints(text);
    for (char32_t& cp : points) {
        if (cp >= 0xDC80 && cp <= 0xDCFF)
            continue;
        cp = QChar::isUpper(cp) ? QChar::toLower(cp) : QChar::toUpper(cp);
    }
    return lcFromCodePoints(points);
}

std::string ExpandChars(std::string_view text, char32_t paddingChar, int percent)
{
    if (text.find('%') != std::string_view::npos)
        return std::string(text);
    const std::u32string points = lcToCodePoints(text);
    const long long length = static_cast<long long>(points.size());
    long long extra = length * percent / 100;
    std::u32string out;
    for (long long i = 1; i <= length; ++i) {
        const long long k = extra / (length - i + 1);
        out += points[static_cast<size_t>(i - 1)];
        if (k > 0)
            out.append(static_cast<size_t>(k), paddingChar);
        extra -= k;
    }
    return lcFromCodePoints(out);
}

std::string ExpandWidth(std::string_view text, char32_t paddingChar, int percent, const TTextWidthFunction& width)
{
    TTextWidthFunction measure = width;
    if (!measure) {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            auto metrics = std::make_shared<QFontMetrics>(QFont(QStringLiteral("Tahoma"), 8));
            measure = [metrics](const std::u32string& s) {
                return metrics->horizontalAdvance(QString::fromStdString(lcFromCodePoints(s)));
            };
        } else {
            measure = [](const std::u32string& s) { return static_cast<int>(s.size()); };
        }
    }
    const std::u32string original = lcToCodePoints(text);
    std::u32string result = original;
    for (char32_t& cp : result)
        if (cp < 0xDC80 || cp > 0xDCFF)
            cp = QChar::toUpper(cp);
    const long long w = measure(original);
    const long long target = w + (w * percent) / 100;
    // A padding character without width would never reach the target.
    if (measure(std::u32string(1, paddingChar)) <= 0)
        return lcFromCodePoints(result);
    long long p = static_cast<long long>(result.size());
    for (long long guard = 0; measure(result) < target && guard <= target; ++guard) {
        const long long at = std::clamp<long long>(p, 1, static_cast<long long>(result.size()) + 1);
        result.insert(static_cast<size_t>(at - 1), 1, paddingChar);
        p -= 2;
        if (p <= 1)
            p = static_cast<long long>(result.size()) - 1;
    }
    return lcFromCodePoints(result);
}

std::string TestModeTransform(const TlcCustomLang* component, std::string_view text)
{
    const TlcLangDispatcher* dispatcher = component ? component->LangDispatcher() : nullptr;
    if (!dispatcher)
        return std::string(text);
    const TTestModeInfo& info = *dispatcher->TestModeInfo();
    switch (info.Kind()) {
    case TTestModeKind::tmkFlipCase:
        return FlipCase(text);
    case TTestModeKind::tmkExpandChars:
        return ExpandChars(text, info.PaddingChar(), info.ExpandCharsPercent());
    case TTestModeKind::tmkExpandWidth:
    default:
        return ExpandWidth(text, info.PaddingChar(), info.ExpandWidthPercent());
    }
}

std::string ProcessEscapes(std::string_view text)
{
    auto hexValue = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= n) {
            out += c;
            ++i;
            continue;
        }
        const char d = text[i + 1];
        switch (d) {
        case '"': case '\'': case '?': case '\\':
            out += d;
            i += 2;
            break;
        case 'a': out += '\a'; i += 2; break;
        case 'b': out += '\b'; i += 2; break;
        case 'f': out += '\f'; i += 2; break;
        case 'n': out += '\n'; i += 2; break;
        case 'r': out += '\r'; i += 2; break;
        case 't': out += '\t'; i += 2; break;
        case 'v': out += '\v'; i += 2; break;
        case 'x': {
            if (i + 2 < n && hexValue(text[i + 2]) >= 0) {
                int value = hexValue(text[i + 2]);
                size_t next = i + 3;
                if (next < n && hexValue(text[next]) >= 0) {
                    value = value * 16 + hexValue(text[next]);
                    ++next;
                }
                out += static_cast<char>(value);
                i = next;
            } else {
                out += "\\x";
                i += 2;
            }
            break;
        }
        default:
            if (d >= '0' && d <= '7') {
                int value = 0;
                size_t next = i + 1;
                for (int k = 0; k < 3 && next < n && text[next] >= '0' && text[next] <= '7'; ++k, ++next)
                    value = value * 8 + (text[next] - '0');
                out += static_cast<char>(value & 0xFF);
                i = next;
            } else {
                out += '\\';
                out += d;
                i += 2;
            }
            break;
        }
    }
    return out;
}
