#pragma once
// The program's per-user settings: the interface to open, the language, the
// colour scheme choice, the firmware folder and file last used, and folders
// that are only kept. Loaded when the data module is created, saved when it
// goes. Also answers whether the extended service mode is unlocked.
#include <QDate>

#include <functional>
#include <memory>
#include <string>

class TAppRegistryStorage;
class TDebugClass;
class TReportText;

class TEnvironment {
public:
    // `storage` is the data module's settings store; null stands for a
    // program without data module (nothing is read or written then).
    explicit TEnvironment(TAppRegistryStorage* storage);
    ~TEnvironment();
    TEnvironment(const TEnvironment&) = delete;
    TEnvironment& operator=(const TEnvironment&) = delete;

    void LoadSettings();
    // Writes the settings and then their file; raises EFileSaveError when the
    // file cannot be written (it keeps what it held). The destructor tells
    // the user so.
    void SaveSettings();
    // Appends the environment section of an error report to a file, or to a
    // report being made.
    void DumpToLog(const std::string& FileName);
    void DumpToLog(TReportText& Report) const;

    // Read and written directly.
    bool ValuesAreValid = false;
    std::string UserName;
    std::string UserPassword;
    std::int32_t ComPort = -1;
    std::string LastFirmwareFile;
    bool TempExtendedVersion = false;
    std::int32_t Language = 1;
    std::int32_t SelectedDevice = 0;

    const std::string& LastDBError() const { return FLastDBError; }
    // A non-empty text writes an error report and tells the user.
    void SetLastDBError(const std::string& Value);

    std::string GetDatabasePath() const;
    void SetDatabasePath(const std::string& Value);
    std::string GetDatabase() const;
    void SetDatabase(const std::string& Value);
    std::string GetDefinitionPath() const; // always the program folder
    void SetDefinitionPath(const std::string& Value);
    const std::string& FirmwarePath() const { return FFirmwarePath; }
    void SetFirmwarePath(const std::string& Value);
    const std::string& HistoryPath() const { return FHistoryPath; }
    void SetHistoryPath(const std::string& Value);
    const std::string& ConfigPath() const { return FConfigPath; }
    void SetConfigPath(const std::string& Value);
    const std::string& LogPath() const { return FLogPath; }
    void SetLogPath(const std::string& Value);
    const std::string& SendtablePath() const { return FSendtablePath; }
    void SetSendtablePath(const std::string& Value);
    const std::string& MPPath() const { return FMPPath; }
    void SetMPPath(const std::string& Value);
    const std::string& RawDataPath() const { return FRawDataPath; }
    void SetRawDataPath(const std::string& Value);

    bool GetUseWindowsColorSchema() const;
    void SetUseWindowsColorSchema(bool Value);
    bool GetFirstProgramStart() const;
    void SetFirstProgramStart(bool Value);
    int GetColorDepthBit() const;

    // The service code stored under the maker's key unlocks the mode when it
    // is the master code or today's code.
    bool GetExtendedVersion() const;
    // Stores an entered code as it is (trimmed, 0 when not a number), at once,
    // and marks it for deletion at exit. Raises EFileSaveError when the file
    // cannot be written; the code then holds for this run only.
    void StoreServiceCode(const std::string& Text);

    TDebugClass* Debugger() const { return FDebugger.get(); }

    // The program's key, "Software\Zorvatek\" and the program's name.
    static std::string ProgramKey();
    static constexpr const char* MakerKey = "Software\\Zorvatek\\";
    static constexpr std::int32_t MasterCode = 48213;
    // Said first when the settings could not be written at exit.
    static constexpr const char* SaveErrorText = "Die Einstellungen konnten nicht gespeichert werden.";
    static std::int32_t DailyCode(const QDate& date);

    // Today's date for the daily code (tests set another clock).
    std::function<QDate()> Today = [] { return QDate::currentDate(); };

private:
    std::string FolderRule(const std::string& Value) const;
    void SetDefaults();

    TAppRegistryStorage* FStorage;
    std::string FLastDBError;
    std::string FDatabasePath;
    std::string FDatabase;
    std::string FFirmwarePath;
    std::string FHistoryPath, FConfigPath, FLogPath, FSendtablePath, FMPPath;
    std::string FDefinitionPath;
    std::string FRawDataPath;
    std::unique_ptr<TDebugClass> FDebugger;
};
