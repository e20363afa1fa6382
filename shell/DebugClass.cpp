#include "shell/DebugClass.h"

#include "platform/Application.h"
#include "platform/Beep.h"
#include "platform/ComputerInfo.h"
#include "platform/Exception.h"
#include "platform/FileSave.h"
#include "platform/FormatSettings.h"
#include "platform/TextCodec.h"
#include "shell/Environment.h"

#include <QDir>

#include <unistd.h>

namespace {
TDebugClass::TWindowList gOpenWindows;

std::string Num(std::uint64_t value)
{
    return std::to_string(value);
}
} // namespace

void TReportText::Line(const std::string& utf8)
{
    FBytes += Utf8ToLatin1(utf8);
    FBytes += "\r\n";
}

void TReportText::AppendTo(const std::string& path) const
{
    AppendFile(path, FBytes);
}

TDebugClass::TDebugClass(TEnvironment* environment) : FEnvironment(environment) {}

TDebugClass::~TDebugClass() = default;

void TDebugClass::SetOpenWindows(TWindowList list)
{
    gOpenWindows = std::move(list);
}

void TDebugClass::AddAction(const std::string& Action, const std::string& Description)
{
    while (FHistory.size() > MaxEntries - 1)
        FHistory.pop_front();
    FHistory.push_back(std::make_unique<TActionHistory>(Action, Description));
}

std::string TDebugClass::ReportPath()
{
    const std::string folder = ProgramFolder();
    const std::string inProgram = folder + ReportFileName;
    // The report is appended to the file where it stands: a report file
    // that is there must be writable, and where there is none yet the folder
    // must take one.
    const bool there = ::access(inProgram.c_str(), F_OK) == 0;
    if (there ? ::access(inProgram.c_str(), W_OK) == 0 : ::access(folder.c_str(), W_OK) == 0)
        return inProgram;
    // An installed program's folder is usually not the user's to write.
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + "/.local/share";
    const QString dataFolder = data + "/Zorvatek/" + QString::fromStdString(ProgramBaseName());
    QDir().mkpath(dataFolder);
    return (dataFolder + "/" + ReportFileName).toStdString();
}

std::string TDebugClass::WriteErrorReport(const std::string& Message)
{
    const std::string path = ReportPath();
    TReportText file;
    {
        const TComputerInfo pc = TComputerInfo::Read();
        file.Line("======== BEGINN FEHLEREINTRAG ======================");
        file.Line("-------- PC-Umgebung -------------------------------");
        file.Line("Dorvix Verzeichnis: " + ProgramFolder());
        file.Line("Betriebssystem: " + pc.ProductName);
        file.Line("Servicepack: " + pc.ServicePack);
        file.Line("CPU: " + pc.CPUName);
        file.Line("Nominalfrequenz: " + std::to_string(pc.CPUMHz) + " MHz");
        file.Line("CPU Anzahl: " + std::to_string(pc.CPUCount));
        file.Line("PC-Name (Domainname): " + pc.DomainName);
        file.Line("PC-Name (Lokaler Name): " + pc.LocalName);
        file.Line("PC-Name (Kommentar): " + pc.Comment);
        file.Line("IP-Adresse: " + pc.IPAddress);
        file.Line("Benutzer: " + pc.UserName);
        file.Line("Firma: " + pc.Company);
        file.Line("Gesamter Pagefile Speicher: " + Num(pc.TotalPageFile) + " Byte");
        file.Line("Freier Pagefile Speicher: " + Num(pc.FreePageFile) + " Byte");
        file.Line("Gesamter physikalischer Speicher: " + Num(pc.TotalPhysical) + " Byte");
        file.Line("Freier physikalischer Speicher: " + Num(pc.FreePhysical) + " Byte");
        file.Line("Gesamter virtueller Speicher: " + Num(pc.TotalVirtual) + " Byte");
        file.Line("Freier virtueller Speicher: " + Num(pc.FreeVirtual) + " Byte");
        file.Line("Größe der Auslagerungsdatei: " + Num(pc.SwapFileSize) + " Byte");
        file.Line("Freier Pagefile Speicher: " + Num(pc.FreePageFile) + " Byte");
        file.Line("Bildschirmgröße: " + std::to_string(pc.ScreenWidth) + "x" + std::to_string(pc.ScreenHeight));
        file.Line("Farbtiefe: " + std::to_string(pc.ColorDepth) + " Bit");
        file.Line("Desktopgröße (Clientbereich): " + std::to_string(pc.DesktopWidth) + "x" +
                  std::to_string(pc.DesktopHeight));
        file.Line("Aktives Farbschema: " + pc.ColorScheme);
        file.Line("ADO-Version: " + pc.ADOVersion);
        file.Line("BDE-Version: " + pc.BDEVersion);
        file.Line("Internet Explorer-Version: " + pc.IEVersion);
        file.Line("DirectX-Version: " + pc.DirectXVersion);
        file.Line("OpenGL-Version: " + pc.OpenGLVersion);
    }
    if (FEnvironment)
        FEnvironment->DumpToLog(file);

    file.Line("-------- Offene Fenster -------------------------------");
    if (gOpenWindows)
        for (const std::string& caption : gOpenWindows())
            file.Line(caption);
    file.Line("-------- Aktionshistorie -------------------------------");
    for (const auto& entry : FHistory)
        file.Line("[" + DateTimeToStr(entry->Time) + "] \"" + entry->Action + "\" : " + entry->Description);
    file.Line("-------- SQL-Historie -------------------------------");
    for (const TSqlEntry& entry : FSqlHistory)
        file.Line("[" + DateTimeToStr(entry.Time) + "] " + entry.Text);
    file.Line("-------- Fehlermeldung -------------------------------");
    file.Line("[" + DateTimeToStr(QDateTime::currentDateTime()) + "] " + Message);
    file.Line("======== ENDE FEHLEREINTRAG ==========================");
    file.AppendTo(path);

    // Written: the histories begin again, each with the marker.
    FHistory.clear();
    AddAction(ReinitMarker, "");
    FSqlHistory.clear();
    AddAction(ReinitMarker, "");
    MessageBeep(MB_BEEP_WARNING);
    return path;
}
