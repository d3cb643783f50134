#pragma once

// The tutor's one window: its four pages with every control of the layout, and all
// of the application's state. The flows are member functions spread over one source
// file per flow:
//
//   TForm1.cpp            construction and layout, event bindings
//   TForm1Navigation.cpp  FormShow, SetUiState, page changes, help, leaving a lesson
//   TForm1Lessons.cpp     lesson lists, the editor's word list, CleanName, content paths
//   TForm1Content.cpp     the content folder in use, the program's own data, "Lessons Folder..."
//   TForm1Players.cpp     adding and listing players, opening and saving player records
//   TForm1AudioComponents.cpp, TForm1Clips.cpp  the audio components, playing and recording clips
//   TForm1Editor.cpp      the lesson editor
//   TForm1Tidy.cpp        renaming and deleting players, deleting lessons
//   TForm1Test.cpp        the spelling test: draws, judgements, tallies
//   TForm1RunHelpers.cpp  what the test, spoken spelling and practice share: the busy
//                         hold, the clip paths, the spelling comparison
//   TForm1Spelling.cpp    speaking and spelling a word aloud
//   TForm1Practice.cpp    the practice drill
//   TForm1Recall.cpp      practice from memory: the player's choice and its drill
//   TForm1History.cpp     the attempt history line of every judged answer
//   TForm1Progress.cpp    the "Pro&gress" button and the progress window it opens
//   TForm1TestDate.cpp    a lesson's test date: the lesson list's menu and its dialog
//   TForm1Plan.cpp        a test run's session of the plan toward the test date

#include "app/MergingSave.h"
#include "app/ContentFolder.h"
#include "app/SoundDevices.h"
#include "app/TakeFiles.h"
#include "app/TWordHandler.h"
#include "app/learning/CalendarDay.h"
#include "app/learning/PlanSession.h"
#include "app/learning/RetestQueue.h"
#include "app/learning/PracticeDrill.h"
#include "audio/kaAudioControls.h"
#include "audio/kaAudioConvertor.h"
#include "audio/kaAudioIO.h"
#include "audio/kaAudioStreams.h"
#include "rtl/Component.h"
#include "rtl/Stream.h"
#include "platform/xml/XmlDocument.h"
#include "widgets/TAutoSizeLabel.h"
#include "widgets/TDropDownComboBox.h"
#include "widgets/TListBox.h"
#include "widgets/THelpWindow.h"
#include "widgets/TPageControl.h"
#include "widgets/TPictureControl.h"
#include "widgets/TSpeedButton.h"
#include "widgets/TToolButton.h"
#include "widgets/TXPButton.h"

#include <QAction>
#include <QChar>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // `contentDir` is the folder holding the lessons, `Alpha` and `Children`: the
    // executable's folder in the program, a temporary folder in tests.
    explicit TForm1(std::filesystem::path contentDir, QWidget* parent = nullptr);
    ~TForm1() override;

    // Handler types of the key events (see widgets::TControlEvents).
    using KeyPressHandler = void (TForm1::*)(QObject* Sender, QChar& Key);
    using KeyDownHandler = void (TForm1::*)(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);

    // ---- Pages -------------------------------------------------------------------
    widgets::TPageControl* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "Spelling Lessons"
    QWidget* TabSheet2 = nullptr; // "Lesson Editor"
    QWidget* TabSheet3 = nullptr; // "The Lesson"
    QWidget* T4abSheet = nullptr; // "Practice"

    // ---- Spelling Lessons (inside Panel1) -----------------------------------------
    QFrame* Panel1 = nullptr;
    QPlainTextEdit* MemoStart = nullptr;
    QLabel* Label3 = nullptr;
    widgets::TDropDownComboBox* ComboBox2 = nullptr;
    QLabel* Label4 = nullptr;
    widgets::TDropDownComboBox* ComboBox3 = nullptr;
    QPushButton* btnNewChild = nullptr;
    QPushButton* btnStartPractice = nullptr;
    QPushButton* btnStartTest = nullptr;
    widgets::TXPButton* btnMoreHelp = nullptr;
    QPushButton* btnProgress = nullptr; // enabled and disabled together with btnStartTest
    QMenu* PlayerMenu = nullptr;        // ComboBox3's pop-up menu
    QAction* RenamePlayer1 = nullptr;
    QAction* DeletePlayer1 = nullptr;
    QAction* PracticeFromMemory1 = nullptr; // checked: the player practises from memory

    // ---- Lesson Editor -------------------------------------------------------------
    QLabel* Label2 = nullptr;
    widgets::TDropDownComboBox* cbLessions = nullptr;
    QPushButton* btnAddLesson = nullptr;
    TkaOscilloscope* kaOscilloscope = nullptr; // one of the six audio components
    QLabel* Label1 = nullptr;
    QLineEdit* edSpellingword = nullptr;
    widgets::TSpeedButton* btnPlay = nullptr;
    QPushButton* btnRecord = nullptr;
    QPushButton* btnStop = nullptr;
    // One line under the word box saying how the last take could be better, or why the typed
    // word cannot be recorded; empty otherwise.
    QLabel* lblTakeHint = nullptr;
    QLabel* Label5 = nullptr;
    widgets::TListBox* ListBox1 = nullptr;
    QFrame* PanelLessons = nullptr;
    QPlainTextEdit* MemoLessons = nullptr;        // inside PanelLessons
    widgets::TXPButton* JvXPButtonHelp = nullptr; // inside PanelLessons
    QMenu* PopupMenu = nullptr;                   // ListBox1's pop-up menu
    QAction* AddWords1 = nullptr;
    QAction* DeleteWord1 = nullptr;
    QMenu* LessonMenu = nullptr; // cbLessions's pop-up menu
    QAction* DeleteLesson1 = nullptr;
    QAction* LessonsFolder1 = nullptr; // chooses the content folder

    // ---- The Lesson ----------------------------------------------------------------
    widgets::TPictureControl* JvSpecialImage = nullptr;
    widgets::TPictureControl* JvSpecialImage3 = nullptr;
    // The tallies fit themselves to their captions (set them through these members).
    widgets::TAutoSizeLabel* lblNumberTied = nullptr;
    widgets::TAutoSizeLabel* lblcorrect = nullptr;
    widgets::TAutoSizeLabel* lblwrong = nullptr;
    QPushButton* btnSay = nullptr;
    QPushButton* btnPractice = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* btnCheckIt = nullptr;
    widgets::TToolButton* JvXPToolButton = nullptr;

    // ---- Practice ------------------------------------------------------------------
    QLabel* lblPractices = nullptr;
    QLabel* lblPracticeWord = nullptr;
    QPushButton* SayItAgain = nullptr;
    QLineEdit* edWord1 = nullptr;
    QLineEdit* edWord2 = nullptr;
    QLineEdit* edWord3 = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnNext2 = nullptr;
    QPushButton* btnNext3 = nullptr;
    QPushButton* btnReturnToTest = nullptr;
    QPushButton* btnForward = nullptr;
    widgets::TToolButton* ExitPractice = nullptr;
    // Practice from memory (TForm1Recall.cpp), shown instead of the copy drill's controls.
    QLabel* lblRecallWord = nullptr; // the word, its missed letters marked; empty while covered
    QPushButton* btnReady = nullptr;
    QPushButton* btnShowMeAgain = nullptr;
    QLineEdit* edRecall = nullptr; // the one answer box
    QPushButton* btnRecallCheck = nullptr;
    QLabel* lblRecallDiff = nullptr; // the last wrong answer, its letters marked

    // ---- Application state ---------------------------------------------------------
    bool PracticeFromTest = false;
    std::int32_t DrawCeiling = 0;
    std::uint8_t RunMode = 0; // 0 nothing, 2 test, 3 practice
    std::int32_t TotalTried = 0;
    std::int32_t TotalCorrect = 0;
    TWordHandler* CurrentWord = nullptr; // an element of Words, not owned
    std::int32_t PracticeIndex = 0;
    std::uint8_t AudioMode = 0; // 0 idle, 1 recording, 2 playing
    std::string ClipPath;
    std::unique_ptr<platform::XmlDocument> PlayerDoc;
    std::string ExeDir; // content folder, UTF-8, always ending in PathDelim
    platform::XmlNode LessonNode;
    std::vector<std::unique_ptr<TWordHandler>> Words;
    bool LastDraw = false;

    // The path delimiter that paths built on ExeDir use.
    static constexpr char PathDelim = static_cast<char>(std::filesystem::path::preferred_separator);

    // ---- Start-up and navigation (TForm1Navigation.cpp) ----------------------------
    void FormShow(QObject* Sender);
    // The welcome clip, started once the window has been painted (or, should nothing paint
    // it, GreetingLatest after FormShow); it plays while the window is in use.
    void StartGreeting();
    std::chrono::milliseconds GreetingLatest{1000};
    std::string WelcomeClipPath() const; // ExeDir + "Alpha/welcome.wav"
    void SetUiState(std::uint8_t mode) noexcept;
    void PageControl1Changing(QObject* Sender, bool& AllowChange);
    void PageControl1Change(QObject* Sender);
    void JvXPButtonHelpClick(QObject* Sender);
    void JvXPToolButtonClick(QObject* Sender);
    // The help page shown by the tutor itself when the desktop cannot open the document;
    // made on first use.
    widgets::THelpWindow* HelpWindow = nullptr;

    // ---- Lessons (TForm1Lessons.cpp) -----------------------------------------------
    void cbLessionsDropDown(QObject* Sender);
    void FillWordList();
    void ComboBox2Change(QObject* Sender);
    static std::string CleanName(std::string_view text);
    // The file a path built on ExeDir names, for reading and for writing: the part
    // after ExeDir is found without regard to letter case ("alpha/a.wav" finds
    // Alpha/A.wav; a file that does not exist keeps its name as written). Raises
    // platform::EPathError for a path that is not below ExeDir or holds a ".." part.
    std::filesystem::path ContentFile(std::string_view path) const;
    // True when a file exists at a path built on ExeDir; false also for a path that
    // would lead outside ExeDir.
    bool ContentFileExists(std::string_view path) const;
    // The word a clip's file name stands for: its name up to the first ".".
    static std::string WordOfFileName(std::string_view fileName);
    // The name of the clip file a word list item stands for.
    static std::string ClipFileOf(const QListWidgetItem& item);
    static constexpr int kClipFileRole = Qt::UserRole;

    // ---- The content folder (TForm1Content.cpp) -------------------------------------
    // Where the content folder came from; "Lessons Folder..." serves only a saved choice
    // and the user's data folder.
    app::ContentSource ContentOrigin = app::ContentSource::CommandLine;
    // The program's own clips, help and sample lesson, read where the content folder has
    // none; empty for none.
    std::filesystem::path InstalledDataDir;
    // Where "Lessons Folder..." saves the choice.
    std::filesystem::path SettingsFile;
    void LessonsFolderPopup(QObject* Sender);
    // Asks for another content folder; a chosen one is saved and used at once.
    void LessonsFolder1Click(QObject* Sender);
    // Makes `folder` the content folder: both lesson lists, the player list and the
    // word list start afresh. The old folder is left as it was.
    void UseContentFolder(const std::filesystem::path& folder);
    // Says what is wrong with the content folder chosen at start; for a saved folder
    // that is gone, offers "Lessons Folder..." at once.
    void ReportContentProblem(const app::ContentChoice& choice);
    // The start page's lesson list names the folder in use.
    void ShowContentFolder();
    // A file of the program's own data (`Alpha`, the help) that the content folder lacks:
    // the installed one when there is one, else nullopt.
    std::optional<std::filesystem::path> InstalledDataFile(std::string_view relative) const;
    static std::string ExeDirOf(const std::filesystem::path& folder);
    // Raises a plain error when the content folder is not there (a USB stick taken out):
    // nothing is then written in its place.
    void RequireContentFolder() const;

    // ---- Players (TForm1Players.cpp) -----------------------------------------------
    void btnNewChildClick(QObject* Sender);
    void ComboBox3DropDown(QObject* Sender);
    void ComboBox3Change(QObject* Sender);
    // Raises the record's error after DropFailedRun when the record cannot be read.
    void OpenPlayerRecord();
    // A run whose record failed to load: no run, no record, no words, no continue
    // button, and the start page shown.
    void DropFailedRun() noexcept;
    void LoadLessonWords();
    // Merges the run's answers into the record on disk and appends their history lines
    // (MergingSave); on failure they wait for the next save.
    void SavePlayerRecord();
    // A player's file in Children: the player's name and `extension`, where a file of that
    // name exists with the extension in another letter case (X.XML) that file; else the name
    // as written. The one place that names a player's files.
    std::filesystem::path PlayerFile(const std::string& player, std::string_view extension) const;
    // The existing file that a player's file of this name would be taken for: one so named in
    // any letter case.
    std::optional<std::filesystem::path> ExistingPlayerFile(const std::string& player,
                                                            std::string_view extension) const;
    static constexpr std::string_view kRecordExtension = ".xml";
    static constexpr std::string_view kHistoryExtension = ".history";
    // The record of the player ComboBox3 shows.
    std::string PlayerRecordPath() const;
    // What a run opened, fixed when OpenPlayerRecord reads the record: every save and history
    // append of the run goes there, whatever the lists show meanwhile.
    struct OpenedRecord {
        std::filesystem::path record;
        std::filesystem::path history;
        std::string lesson;
    };
    OpenedRecord RunRecord;
    // The run's player practises from memory (the player's settings, read when the run
    // opens the record): the practice page runs look, cover, write, check, and a word
    // missed in a test is asked once more later in the run.
    bool RunRecalls = false;
    app::MergingSave RecordSave;
    std::chrono::milliseconds RecordLockTimeout = platform::kRecordLockTimeout;

    // ---- Clips and the lesson editor (TForm1AudioComponents.cpp, TForm1Clips.cpp, ---
    // ---- TForm1Editor.cpp) -----------------------------------------------------------
    // The six audio components, owned by AudioOwner for the window's whole life.
    std::unique_ptr<rtl::TComponent> AudioOwner;
    TkaAudioIn* kaAudioIn1 = nullptr;
    TkaAudioOut* kaAudioOut1 = nullptr;
    TkaAudioConvertor* RecordConvert = nullptr;
    TkaAudioConvertor* PlayConvert = nullptr;
    TkaAudioControlSource* kaAudioControlSource = nullptr;
    // The objects of the one clip playing or recording.
    std::unique_ptr<rtl::TFileStream> ClipFile;
    std::unique_ptr<TkaRIFFAudioReader> ClipReader;
    TkaSubStream* ClipData = nullptr; // handed out and owned by ClipReader
    std::unique_ptr<TkaRIFFAudioWriter> ClipWriter;
    // The take a recording goes into, and the path of the clip it is to replace.
    std::filesystem::path TakeFile;
    std::string TakeClipPath;
    // Counts the clips started, so a wait knows when its own clip has been replaced.
    uint64_t ClipSerial = 0;
    // Passes of the last PlayClipAndWait, and the sleep of each pass (25 ms; tests shorten it).
    int ClipWaitPasses = 0;
    std::chrono::milliseconds ClipWaitPassSleep{25};
    static constexpr int kClipWaitPassLimit = 600;
    // Set when the window closes: every wait ends and no new clip starts.
    bool Closing = false;
    // Set while a clip is stopped for another to take its place: the stop leaves the
    // controls as they are, for the new clip's flow to set.
    bool ReplacingClip = false;
    // A take is being recorded (its writer lives until the recording has ended).
    bool TakeRuns() const { return AudioMode == 1 || ClipWriter != nullptr; }
    // Set while a recording ends because its microphone went away: the device's own error
    // is then the one box, also for a take that heard nothing.
    bool MicrophoneLost = false;
    // Whether there is a sound output; without one, clips are skipped (SoundDevices.h).
    app::SoundOutputWatch SoundOutput;

    void PlayClipAndWait(const std::string& path);
    // Returns the new clip's serial number.
    uint64_t StartPlayback(const std::string& path);
    void FeedNextChunk();
    // Bytes of the clip pushed into PlayConvert at a time.
    int64_t ClipChunkSize() const;
    void kaAudioOut1AudioPlayed(rtl::TComponent* Sender, const void* AudioData, int32_t AudioDataSize);
    void StopPlayback();
    void StartRecording(const std::string& path);
    void RecordConvertAudioConverted(rtl::TComponent* Sender, const void* AudioData, int32_t AudioDataSize,
                                     bool& Abort);
    // Ends a recording as Stop does; a take that holds sound then replaces its clip, and
    // one that holds none is dropped with a box saying so (none while the window closes,
    // nor after the microphone went away).
    void StopRecording();
    void kaAudioIn1AfterClose(rtl::TComponent* Sender);

    // Lesson editor
    void btnAddLessonClick(QObject* Sender);
    void cbLessionsChange(QObject* Sender);
    void edSpellingwordChange(QObject* Sender);
    void edSpellingwordExit(QObject* Sender);
    void edSpellingwordKeyPress(QObject* Sender, QChar& Key);
    void btnRecordClick(QObject* Sender);
    void btnPlayClick(QObject* Sender);
    void btnStopClick(QObject* Sender);
    void ListBox1Click(QObject* Sender);
    void ListBox1DblClick(QObject* Sender);
    void PopupMenuPopup(QObject* Sender);
    // "Delete Word": removes the selected word's clip from the lesson after a Yes.
    void DeleteWord1Click(QObject* Sender);
    // "Add Words...": clips in the tutor's voice for a list of words.
    void AddWords1Click(QObject* Sender);
    // A refill of cbLessions that left no lesson chosen disables the word controls.
    void EditorLessonListRefilled();
    // A clip of the editor's lesson: ExeDir + lesson + PathDelim + fileName.
    std::string EditorClipPath(std::string_view fileName) const;
    // The clip of the word in the word box: the lesson's word + ".wav".
    std::string EditorClipPath() const;
    // SetUiState(AudioMode), then Record off for a word the word rules refuse and the
    // speaker off for one that is not a plain file name.
    void RefreshEditorButtons() noexcept;
    // A word that may name a new clip: the word rules of Add Words (app::WordRefusal).
    static bool IsRecordableWord(std::string_view word);
    // Shows under the word box what the last take asks of the next one (or nothing).
    void ShowTakeHint(TakeHint hint);
    // The pause after creating a new lesson's folder (500 ms; tests shorten it).
    std::chrono::milliseconds NewLessonSettle{500};
    // ---- End of clips and the lesson editor ----------------------------------------

    // ---- Tidying players and lessons (TForm1Tidy.cpp) --------------------------------
    // The pop-up menus act on the player or lesson their closed list shows.
    void PlayerMenuPopup(QObject* Sender);
    // Renames the player's record, history and settings; "That child already exists." as New Player.
    void RenamePlayer1Click(QObject* Sender);
    // Moves the player's record, history and settings to the trash after a Yes.
    void DeletePlayer1Click(QObject* Sender);
    void LessonMenuPopup(QObject* Sender);
    // Moves the lesson's folder to the trash after a Yes; players' records keep its entries.
    void DeleteLesson1Click(QObject* Sender);
    // True when the editor's clip (ClipPath) lies in `folder`.
    bool ClipIsIn(const std::filesystem::path& folder) const;

    // ---- Spelling test -------------------------------------------------------------
    void btnStartTestClick(QObject* Sender);
    std::int32_t ComputeDrawCeiling();
    void DrawNextWord();
    void btnSayClick(QObject* Sender);
    void btnCheckItClick(QObject* Sender);
    void Edit2KeyPress(QObject* Sender, QChar& Key);
    void btnPracticeClick(QObject* Sender);

    // ---- A lesson's test date and the plan toward it (TForm1TestDate.cpp, TForm1Plan.cpp)
    QMenu* LessonListMenu = nullptr; // ComboBox2's pop-up menu
    QAction* TestDate1 = nullptr;
    void LessonListMenuPopup(QObject* Sender);
    // "Test Date...": sets or clears the test day of the lesson ComboBox2 shows.
    void TestDate1Click(QObject* Sender);
    // Today's calendar day as the history dates answers; FixedToday when a test sets one.
    std::optional<app::learning::Day> FixedToday;
    app::learning::Day Today() const;
    // The test day still to come of a lesson; nullopt for none.
    std::optional<app::learning::Day> UpcomingTestDay(const std::string& lesson) const;
    // Start Test on a lesson whose test day is still to come: runs today's session and
    // returns true; with nothing due it tells the child so and returns false (a plain run).
    bool StartPlannedRun();
    // The session's next question (the unanswered one again after Practice Word), or its end.
    void AskPlannedWord();
    // Asks `word` of Words: speaks it and refreshes the tallies.
    void AskWord(TWordHandler& word, bool retest);
    // The record of Words with this word; nullptr for none.
    TWordHandler* FindWord(const std::string& word) const;
    // The word asked has been judged: the session or the retests take note.
    void NoteQuestionJudged(bool right);
    // The end of the day's session: how many words were right, and the start page.
    void EndPlannedRun();
    // A plain run's end: the end-of-test clip and the start page.
    void EndPlainRun();
    // Today's session of the plan, while one runs.
    std::optional<app::learning::PlanSession> RunSession;
    // Missed words asked once more in a plain run, while the player practises from memory.
    std::optional<app::learning::RetestQueue> RunRetests;
    // The word asked is a retest: judged as a test answer, counted in the history only.
    bool AskingRetest = false;
    // The word asked has been judged (Practice Word leaves it unjudged).
    bool AskedWordJudged = false;
    // A plain run's draws are done (the last one was answered right); retests may remain.
    bool DrawsDone = false;
    // Words of the session answered right at least once.
    std::set<std::string> SessionWordsRight;

    // ---- Attempt history and progress (TForm1History.cpp, TForm1Progress.cpp) ----
    // When Start Test was pressed (ISO 8601): the run of every attempt it judges.
    std::string RunStarted;
    // A judged answer's history line, written by the next save that succeeds. A failed
    // append is kept from the child: the progress window tells of the missing attempts.
    // `phase` "retest" for an answer counted in the history only.
    void NoteJudgedAnswer(const TWordHandler& word, const std::string& typed, bool right,
                          const std::string& judgedAt, const std::string& phase = {});
    void btnProgressClick(QObject* Sender);
    // btnProgress is enabled while a lesson is chosen and a player exists.
    void BindProgressButton();
    void UpdateProgressButton();

    // ---- Spoken spelling -----------------------------------------------------------
    void SpellOutWord();
    void SpellLetters();

    // ---- Practice drill ------------------------------------------------------------
    void btnStartPracticeClick(QObject* Sender);
    void NextPracticeWord(bool silent);
    void ShowPracticeWord();
    void SayItAgainClick(QObject* Sender);
    void FocusPracticeBox();
    void btnNextClick(QObject* Sender);
    void edWord1KeyPress(QObject* Sender, QChar& Key);
    void edWord1KeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void btnForwardClick(QObject* Sender);
    void btnForwardKeyPress(QObject* Sender, QChar& Key);
    void btnReturnToTestClick(QObject* Sender);
    void btnReturnToTestKeyPress(QObject* Sender, QChar& Key);
    // Waits for a clip that plays, for about 2.5 s at most; false when it still plays.
    bool WaitForPlayingClip();

    // ---- Practice from memory (TForm1Recall.cpp) -------------------------------------
    // The drill of the word on the practice page while the run's player practises from memory.
    std::optional<app::learning::RecallDrill> Recall;
    // The last wrong answer of the word (the test's, then each covered one); none at first.
    std::optional<std::string> RecallMissedAnswer;
    // How long the word stays in view before "Ready" may be pressed (2 s; tests shorten it).
    std::chrono::milliseconds RecallLookTime{2000};
    QTimer* RecallReadyTimer = nullptr;
    void PracticeFromMemory1Click(QObject* Sender);
    // Starts the drill of CurrentWord: Look.
    void StartRecallDrill();
    // Shows the controls of the drill's step (the copy drill's when there is no drill).
    void ShowRecallStep();
    void btnReadyClick(QObject* Sender);
    void btnShowMeAgainClick(QObject* Sender);
    void btnRecallCheckClick(QObject* Sender);
    void edRecallKeyPress(QObject* Sender, QChar& Key);
    // The word has been in view long enough: "Ready" may be pressed.
    void RecallLookDone();
    // Focuses what the drill's step asks for next.
    void FocusRecallStep();
    // A covered answer goes to the history (phase "drill"); the record is never written for it.
    void NoteDrillAnswer(const std::string& typed, bool right);
    // A wrong test answer of CurrentWord marks its letters on the Look.
    void NoteRecallMiss(const std::string& typed);

    // ---- The test, spoken spelling and practice ----------------------------------
    // The random source of the word draw: a 32-bit linear congruential generator,
    // seeded at every run start from the high-resolution clock, or from
    // FixedRandomSeed when a test sets one.
    std::uint32_t RandSeed = 0;
    std::optional<std::uint32_t> FixedRandomSeed;
    // The pause after the praise of a right answer, during which nothing is handled.
    std::chrono::milliseconds RightAnswerPause{1000};
    // Sequences and judgements under way: while above 0 the controls stay busy from
    // the first clip to the last, and no run can start.
    int SequenceDepth = 0;

    void Randomize();
    // The next position in [0, n).
    std::uint32_t RandomPosition(std::uint32_t n);
    // A sequence goes on while its run does and the window is open.
    bool SequenceGoesOn() const { return !Closing && RunMode != 0; }
    // The tallies of the test page.
    void ShowTallies();

    // ---- Run helpers of the test, spoken spelling and practice (TForm1RunHelpers.cpp)
    // Right when equal without leading and trailing blanks and after folding a to z onto
    // A to Z; blanks inside a word count, nothing else is folded.
    static bool SameSpelling(std::string_view typed, std::string_view word);
    // The clip paths of the test and the drill (a word's clip is in the run's lesson).
    std::string WordClipPath(const std::string& word) const;
    std::string AlphaClipPath(const std::string& name) const;
    // Holds the busy control state for a sequence or judgement; nests.
    class BusyScope {
    public:
        explicit BusyScope(TForm1& form);
        ~BusyScope() { release(); }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;
        // Ends the hold now: the idle state returns once no outer hold remains.
        void release() noexcept;

    private:
        TForm1& form_;
        bool held_ = true;
    };

    // ---- Event binding (TForm1.cpp) ------------------------------------------------
    // Attach or detach a control's key handlers at run time. Errors escaping an
    // attached handler go to the standard error box.
    void AttachKeyPress(QWidget* control, KeyPressHandler handler);
    void DetachKeyPress(QWidget* control);
    void AttachKeyDown(QWidget* control, KeyDownHandler handler);

    // Runs a handler as the event loop would: an error escaping it is shown in the
    // standard error box instead of leaving the handler's caller.
    template <class F> void RunHandler(F&& handler) noexcept
    {
        try {
            handler();
        } catch (...) {
            ReportHandlerError();
        }
    }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void SetWindowIconOnce();
    void ShowHelpInOwnWindow(const std::filesystem::path& document);
    void CreateAudioComponents();
    void WireAudioComponents();
    void EndClipWhenSilent();
    // Reads and converts one chunk of the clip; false when nothing more could be read.
    bool PushChunk();
    [[noreturn]] void StopPlaybackAfter(const std::exception_ptr& error);
    void FreeClipObjects();
    // How a take ends, and what its end says.
    enum class TakeEnd {
        Stopped,   // by Stop: a take that heard nothing is dropped with a box saying so
        Quietly,   // for another action, on closing, or with its microphone gone
        Unwritten, // a write to it failed: dropped whatever it holds
    };
    void EndRecording(TakeEnd how);
    void CommitRecordedTake(TakeEnd how);
    [[noreturn]] void EndUnwritableTake();
    // Stops whatever clip sounds or records; `forNewClip` when another is about to start.
    void StopAnyClip(bool forNewClip = false);

    void BuildStartPage();
    void BuildEditorPage();
    void BuildLessonPage();
    void BuildPracticePage();
    void BuildRecallPage();
    void BindRecallPage();
    void BindEvents();
    void ApplyUiState(bool recordOn, bool stopOn, bool playOn);
    static void ReportHandlerError() noexcept;

    std::filesystem::path contentDir_;
    bool shown_ = false;
    bool painted_ = false;
    bool greetingDue_ = false;
};
