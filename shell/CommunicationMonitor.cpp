#include "shell/CommunicationMonitor.h"

#include "platform/Exception.h"
#include "platform/PickedFile.h"
#include "platform/TextCodec.h"

namespace {

const char kDigits[] = "0123456789ABCDEF";

std::string Two(int value)
{
    return FormatText("%.2d", {std::to_string(value)});
}

} // namespace

std::string BytesToHexText(const std::string& Data, bool WithBlank)
{
    std::string out;
    out.reserve(Data.size() * 3);
    for (const char c : Data) {
        const auto b = static_cast<unsigned char>(c);
        if (WithBlank)
            out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::string EscapeText(const std::string& Data)
{
    std::string out;
    out.reserve(Data.size());
    for (const char c : Data) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b <= 0x7E) {
            out += c;
        } else {
            out += '<';
            out += kDigits[b >> 4];
            out += kDigits[b & 15];
            out += '>';
        }
    }
    return out;
}

std::string TCommunicationMonitor::RowText(const std::string& data) const
{
    std::string text = FMode == TMode::Ascii ? EscapeText(data) : BytesToHexText(data, true);
    std::size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) <= 32)
        ++first;
    return text.substr(first);
}

TCommunicationMonitor::TChange TCommunicationMonitor::AddReceived(const std::string& data, std::uint32_t timeMs)
{
    TChange change;
    if (!FVisible || FPause == TPause::ForUpload)
        return change;
    FIn.push_back({RowText(data), timeMs});
    FOut.push_back({std::string(), timeMs});
    change.Added = true;
    if (FIn.size() > MaxReceivedRows) {
        FIn.erase(FIn.begin());
        FOut.erase(FOut.begin());
        change.DroppedFirst = true;
    }
    return change;
}

TCommunicationMonitor::TChange TCommunicationMonitor::AddSent(const std::string& data, std::uint32_t timeMs)
{
    TChange change;
    if (!FVisible || FPause == TPause::ForUpload)
        return change;
    FOut.push_back({RowText(data), timeMs});
    FIn.push_back({std::string(), timeMs});
    change.Added = true;
    return change;
}

void TCommunicationMonitor::Clear()
{
    FIn.clear();
    FOut.clear();
}

std::size_t TCommunicationMonitor::HeadLength(const std::string& text, int bytes) const
{
    if (bytes <= 0)
        return 0;
    if (FMode == TMode::Hex)
        return 3 * static_cast<std::size_t>(bytes);
    std::size_t position = 0;
    for (int i = 0; i < bytes; ++i) {
        if (position < text.size() && text[position] != '<')
            position += 1;
        else if (position + 3 < text.size() && text[position + 3] != '>')
            position += 1;
        else
            position += 4;
    }
    return position;
}

std::vector<std::string> TCommunicationMonitor::LogLines(const QDate& date, const QTime& time) const
{
    std::vector<std::string> lines;
    lines.push_back("Kommunikationsprotokoll. Aufgezeichnet: " + Two(date.day()) + "." + Two(date.month()) + "." +
                    std::to_string(date.year()) + " " + Two(time.hour()) + ":" + Two(time.minute()));
    lines.push_back(std::string(65, '-'));
    for (std::size_t k = 0; k < FIn.size() && k < FOut.size(); ++k) {
        const TRow& row = !FIn[k].Text.empty() ? FIn[k] : FOut[k];
        if (row.Text.empty())
            continue;
        const std::uint32_t ms = row.TimeMs;
        const std::string stamp = FormatText("%.2d:%.2d:%.2d,%.3d", {std::to_string(ms / 3600000),
                                                                    std::to_string((ms / 60000) % 60),
                                                                    std::to_string((ms / 1000) % 60),
                                                                    std::to_string(ms % 1000)});
        lines.push_back(std::string(!FIn[k].Text.empty() ? "[Gerät > PC " : "[PC > Gerät ") + stamp + "] " + row.Text);
    }
    lines.push_back("----ENDE DER AUFZEICHNUNG -----------------------------------");
    return lines;
}

std::string TCommunicationMonitor::ProposedFileName(const QDate& date, const QTime& time)
{
    return "Kommunikationsprotokoll_" + Two(date.day()) + "-" + Two(date.month()) + "-" +
           std::to_string(date.year()) + "_" + Two(time.hour()) + "-" + Two(time.minute()) + ".txt";
}

void TCommunicationMonitor::SaveLog(const std::string& path, const QDate& date, const QTime& time) const
{
    std::string bytes;
    for (const std::string& line : LogLines(date, time))
        bytes += Utf8ToLatin1(line) + "\r\n";
    SavePickedFile(path, bytes);
}
