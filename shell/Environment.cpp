#include "shell/Environment.h"

#include "controls/Zor_Pattern.h"
#include "platform/Application.h"
#include "platform/ComputerInfo.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "platform/FileSave.h"
#include "platform/Registry.h"
#include "shell/DebugClass.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool FolderExists(const std::string& path)
{
    return !path.empty() && QFileInfo(QString::fromStdString(path)).isDir();
}

std::string FileNamePart(const std::string& path)
{
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string WithDelimiter(const std::string& path)
{
    return !path.empty() && path.back() == '/' ? path : path + "/";
}

} // namespace

std::string TEnvironment::ProgramKey()
{
    return std::string(MakerKey) + ProgramBaseName();
}

std::int32_t TEnvironment::DailyCode(const QDate& date)
{
    return date.day() * 10000 + date.month() * 100 + date.year() + MasterCode;
}

TEnvironment::TEnvironment(TAppRegistryStorage* storage) : FStorage(storage)
{
    if (FStorage)
        FStorage->SetRoot(ProgramKey());
    G_Zor_Pattern().SetUseWindowsDefaults(false);
    SetDefaults();
    LoadSettings();
    FDebugger = std::make_unique<TDebugClass>(this);
}

TEnvironment::~TEnvironment()
{
    if (TempExtendedVersion && FStorage) {
        FStorage->SetRoot(MakerKey);
        FStorage->DeleteValue("NormWindowPos");
        FStorage->SetRoot(ProgramKey());
    }
    try {
        SaveSettings();
    } catch (const Exception& e) {
        // The last moment anyone can be told: the file keeps what it held.
        MessageBox(nullptr, std::string(SaveErrorText) + "\r\n" + e.Message(), "Zor Tessaro", MB_OK | MB_ICONERROR);
    }
}

void TEnvironment::SetDefaults()
{
    const std::string program = ProgramFolder();
    FLastDBError.clear();
    ValuesAreValid = true;
    ComPort = -1;
    SetDatabasePath(program);
    SetDatabase("");
    FFirmwarePath = program;
    FDefinitionPath = program;
    FHistoryPath = FConfigPath = FLogPath = FSendtablePath = FMPPath = program;
    LastFirmwareFile.clear();
    SetRawDataPath(program + "RAWDATA");
    UserName.clear();
    TempExtendedVersion = false;
    Language = 1;
    SelectedDevice = 0;
}

std::string TEnvironment::FolderRule(const std::string& Value) const
{
    if (Value.empty())
        return ProgramFolder(); // not the file system's root
    const std::string folder = WithDelimiter(Value);
    return FolderExists(folder) ? folder : ProgramFolder();
}

void TEnvironment::LoadSettings()
{
    ValuesAreValid = false;
    if (!FStorage) {
        SetDefaults();
        ValuesAreValid = false;
        TempExtendedVersion = false;
        Language = 1;
        FLastDBError.clear();
        return;
    }
    const std::string program = ProgramFolder();
    ComPort = FStorage->ReadInteger("ComPort", -1);
    FDefinitionPath = FStorage->ReadString("Directories\\Definition", program);
    SetDatabasePath(FStorage->ReadString("Directories\\Database", program));
    SetDatabase(FStorage->ReadString("Datenbank", "DORVIX.PRJ"));
    SetFirmwarePath(FStorage->ReadString("Directories\\Firmware", program));
    LastFirmwareFile = FStorage->ReadString("Directories\\LastFirmwareFile", "");
    SetHistoryPath(FStorage->ReadString("Directories\\History", program));
    SetConfigPath(FStorage->ReadString("Directories\\Configurations", program));
    SetLogPath(FStorage->ReadString("Directories\\LogFiles", program));
    SetSendtablePath(FStorage->ReadString("Directories\\Sendtables", program));
    SetMPPath(FStorage->ReadString("Directories\\MP", program));
    SetRawDataPath(FStorage->ReadString("Directories\\RawData", program + "RAWDATA"));
    Language = FStorage->ReadInteger("LANGUAGE", 1);
    SelectedDevice = FStorage->ReadInteger("LastSelectedDevice", 0);
    SetUseWindowsColorSchema(FStorage->ReadBoolean("ZorColors", false));
    ValuesAreValid = true;
    FLastDBError.clear();
}

void TEnvironment::SaveSettings()
{
    if (!FStorage)
        return;
    FStorage->WriteInteger("ComPort", ComPort);
    FStorage->WriteString("Directories\\Database", GetDatabasePath());
    FStorage->WriteString("Directories\\Firmware", FFirmwarePath);
    FStorage->WriteString("Directories\\LastFirmwareFile",
                          FileExists(FFirmwarePath + LastFirmwareFile) && !LastFirmwareFile.empty() ? LastFirmwareFile
                                                                                                    : "");
    FStorage->WriteString("Directories\\Configurations", FConfigPath);
    FStorage->WriteString("Directories\\LogFiles", FLogPath);
    FStorage->WriteString("Directories\\History", FHistoryPath);
    FStorage->WriteString("Directories\\Sendtables", FSendtablePath);
    FStorage->WriteString("Directories\\MP", FMPPath);
    FStorage->WriteString("Directories\\RawData", FRawDataPath);
    FStorage->WriteString("Directories\\Definition", GetDefinitionPath());
    FStorage->WriteString("Last User", UserName);
    FStorage->WriteString("Datenbank", GetDatabase());
    FStorage->WriteBoolean("ZorColors", GetUseWindowsColorSchema());
    FStorage->WriteInteger("LANGUAGE", Language);
    FStorage->WriteInteger("LastSelectedDevice", SelectedDevice);
    TRegistry::Flush();
}

void TEnvironment::DumpToLog(const std::string& FileName)
{
    TReportText report;
    DumpToLog(report);
    report.AppendTo(FileName);
}

void TEnvironment::DumpToLog(TReportText& file) const
{
    auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
    file.Line("-------- Beginn: Environment ------------------------");
    file.Line("F_LastDBError : " + FLastDBError);
    file.Line("F_ValuesValid : " + flag(ValuesAreValid));
    file.Line("F_Comport : " + std::to_string(ComPort));
    file.Line("f_DefinitionPath : " + FDefinitionPath);
    file.Line("DatabasePath : " + GetDatabasePath());
    file.Line("Database : " + GetDatabase());
    file.Line("F_FirmwarePath : " + FFirmwarePath);
    file.Line("F_LastFirmwareFile : " + LastFirmwareFile);
    file.Line("F_HistoryPath : " + FHistoryPath);
    file.Line("F_ConfigPath : " + FConfigPath);
    file.Line("F_LogPath : " + FLogPath);
    file.Line("F_SendtablePath : " + FSendtablePath);
    file.Line("F_MPPath : " + FMPPath);
    file.Line("RawDataPath : " + FRawDataPath);
    file.Line("F_Language : " + std::to_string(Language));
    file.Line("G_Zor_Pattern.UseWindowsDefaults : " + flag(G_Zor_Pattern().UseWindowsDefaults()));
    file.Line("F_TempExtendedKey : " + flag(TempExtendedVersion));
}

void TEnvironment::SetLastDBError(const std::string& Value)
{
    FLastDBError = Value;
    if (Value.empty())
        return;
    FDebugger->WriteErrorReport(Value);
    MessageBox(nullptr,
               "Es ist ein Fehler aufgetreten, den die Anwendung nicht selbst beheben konnte.\r\n"
               "Speichern Sie Ihre Daten und starten Sie das Programm bitte neu.",
               "", MB_OK | MB_ICONERROR);
}

std::string TEnvironment::GetDatabasePath() const
{
    return FolderExists(FDatabasePath) ? WithDelimiter(FDatabasePath) : ProgramFolder();
}

void TEnvironment::SetDatabasePath(const std::string& Value)
{
    FDatabasePath = FolderRule(Value);
}

std::string TEnvironment::GetDatabase() const
{
    return !FDatabase.empty() && FileExists(FDatabasePath + FDatabase) ? FDatabase : std::string();
}

void TEnvironment::SetDatabase(const std::string& Value)
{
    const std::string name = FileNamePart(Value);
    FDatabase = !name.empty() && FileExists(FDatabasePath + name) ? name : std::string();
}

std::string TEnvironment::GetDefinitionPath() const
{
    return ProgramFolder();
}

void TEnvironment::SetDefinitionPath(const std::string& Value)
{
    FDefinitionPath = FolderExists(Value) ? Value : ProgramFolder();
}

void TEnvironment::SetFirmwarePath(const std::string& Value)
{
    FFirmwarePath = FolderRule(Value);
}

void TEnvironment::SetHistoryPath(const std::string& Value)
{
    FHistoryPath = FolderRule(Value);
}

void TEnvironment::SetConfigPath(const std::string& Value)
{
    FConfigPath = FolderRule(Value);
}

void TEnvironment::SetLogPath(const std::string& Value)
{
    FLogPath = FolderRule(Value);
}

void TEnvironment::SetSendtablePath(const std::string& Value)
{
    FSendtablePath = FolderRule(Value);
}

void TEnvironment::SetMPPath(const std::string& Value)
{
    FMPPath = FolderRule(Value);
}

void TEnvironment::SetRawDataPath(const std::string& Value)
{
    FRawDataPath = FolderRule(Value);
}

bool TEnvironment::GetUseWindowsColorSchema() const
{
    return G_Zor_Pattern().UseWindowsDefaults();
}

void TEnvironment::SetUseWindowsColorSchema(bool Value)
{
    G_Zor_Pattern().SetUseWindowsDefaults(Value);
}

bool TEnvironment::GetFirstProgramStart() const
{
    return FStorage && FStorage->ReadInteger("FirstStart", -1) == -1;
}

void TEnvironment::SetFirstProgramStart(bool Value)
{
    if (!FStorage)
        return;
    if (Value)
        FStorage->DeleteValue("FirstStart");
    else
        FStorage->WriteInteger("FirstStart", 0);
}

int TEnvironment::GetColorDepthBit() const
{
    const int depth = TComputerInfo::Read().ColorDepth;
    return depth > 0 ? depth : 16;
}

bool TEnvironment::GetExtendedVersion() const
{
    std::int32_t code = 0;
    if (FStorage) {
        FStorage->SetRoot(MakerKey);
        code = FStorage->ReadInteger("NormWindowPos", 0);
        FStorage->SetRoot(ProgramKey());
    }
    return code == MasterCode || code == DailyCode(Today());
}

void TEnvironment::StoreServiceCode(const std::string& Text)
{
    // The conversion passes over blanks, tabs and line ends at either end
    // itself; a code with any other character around it is no code.
    bool ok = false;
    const int code = QString::fromStdString(Text).toInt(&ok);
    if (FStorage) {
        FStorage->SetRoot(MakerKey);
        FStorage->WriteInteger("NormWindowPos", ok ? code : 0);
        FStorage->SetRoot(ProgramKey());
    }
    // Marked before it is written: a code that reaches the file only at the
    // end is still deleted there.
    TempExtendedVersion = true;
    if (FStorage)
        TRegistry::Flush();
}
