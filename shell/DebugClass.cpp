#include "shell/DebugClass.h"

#include "platform/Application.h"
#include "platform/Beep.h"
#include "platform/ComputerInfo.h"
#include "platform/Exception.h"
#include "platform/FormatSettings.h"
#include "platform/TextCodec.h"
#include "shell/Environment.h"

#include <QDir>

#include <cerrno>
#include <cstdio>

namespace {
TDebugClass::TWindowList gOpenWindows;

std::string Num(std::uint64_t value)
{
    return std::to_string(value);
}
} // namespace

TReportFile::TReportFile(const std::string& path) : FPath(path)
{
    FFile = std::fopen(path.c_str(), "ab");
    if (!FFile)
        throw EInOutError("I/O error: " + path + ": " + SysErrorMessage(errno));
}

TReportFile::~TReportFile()
{
    if (FFile)
        std::fclose(FFile);
}

void TReportFile::Line(const std::string& utf8)
{
    if (FError)
        return;
    const std::string bytes = Utf8ToLatin1(utf8) + "\r\n";
    if (std::fwrite(bytes.data(), 1, bytes.size(), FFile) != bytes.size() || std::fflush(FFile) != 0)
        FError = errno ? errno : EIO;
}

void TReportFile::Close()
{
    if (FFile && std::fclose(FFile) != 0 && !FError)
        FError = errno ? errno : EIO;
    FFile = nullptr;
    if (FError)
        throw EInOutError("I/O error: " + FPath + ": " + SysErrorMessage(FError));
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
    const std::string inProgram = ProgramFolder() + ReportFileName;
    if (std::FILE* f = std::fopen(inProgram.c_str(), "ab")) {
        std::fclose(f);
        return inProgram;
    }
    // An installed program's folder is usually not the user's to write.
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + "/.local/share";
    const QString folder = data + "/Zorvatek/" + QString::fromStdString(ProgramBaseName());
    QDir().mkpath(folder);
    return (folder + "/" + ReportFileName).toStdString();
}

std::string TDebugClass::WriteErrorReport(const std::string& Message)
{
    const std::string path = ReportPath();
    {
        TReportFile file(path);
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
        file.Close();
    }
    if (FEnvironment)
        FEnvironment->DumpToLog(path);

    TReportFile file(path);
    file.Line("-------- Offene Fenster -------------------------------");
    if (gOpenWindows)
        for (const std::string& caption : gOpenWindows())
            file.Line(caption);
    file.Line("-------- Aktionshistorie -------------------------------");
    while (!FHistory.empty()) {
        const TActionHistory& entry = *FHistory.front();
        file.Line("[" + DateTimeToStr(entry.Time) + "] \"" + entry.Action + "\" : " + entry.Description);
        FHistory.pop_front();
    }
    AddAction(ReinitMarker, "");
    file.Line("-------- SQL-Historie -------------------------------");
    while (!FSqlHistory.empty()) {
        file.Line("[" + DateTimeToStr(FSqlHistory.front().Time) + "] " + FSqlHistory.front().Text);
        FSqlHistory.pop_front();
    }
    AddAction(ReinitMarker, "");
    file.Line("-------- Fehlermeldung -------------------------------");
    file.Line("[" + DateTimeToStr(QDateTime::currentDateTime()) + "] " + Message);
    file.Line("======== ENDE FEHLEREINTRAG ==========================");
    MessageBeep(MB_BEEP_WARNING);
    file.Close();
    return path;
}
