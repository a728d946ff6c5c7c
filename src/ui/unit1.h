#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "pvalue_chart.h"
#include "results_panel.h"
#include "run_controller.h"
#include "run_progress.h"
#include "time_estimate.h"
#include "working_folder_choice.h"

class QChartView;
class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QLineSeries;
class QMenu;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTimer;

// The program's one window: gathers the run settings, starts the Run and shows its
// progress, the overall test's running P-value, its results and its messages.
class TForm1 : public QWidget, public genosieve::RunView {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // Modal boxes and the dialogs go through these, so that they can be replaced where no
  // one is there to answer (tests, scripted screenshots).
  std::function<void(const QString& text)> showMessage;
  // An error box: what failed, which file or field, the reason and what to do, a line
  // each (error_report.h).
  std::function<void(const QString& text)> showError;
  std::function<void(const QString& text)> showAbout;
  // Shows the dialog; returns the chosen file, or nothing when the user cancelled.
  std::function<std::optional<QString>(QFileDialog& dialog)> chooseFile;
  // Asks where to save (caption, filters, suggested path); nothing when cancelled.
  std::function<std::optional<QString>(const QString& caption, const QString& filters,
                                       const QString& suggested)>
      chooseSaveFile;
  // Asks "Stop the Run and quit?"; true for yes. The window closes the question (as no)
  // when the Run ends while it is asked.
  std::function<bool()> askStopAndQuit;
  // Asks a question with Yes and No; true for yes.
  std::function<bool(const QString& text)> askQuestion;
  // Asks for a folder, starting in the one given; nothing when cancelled.
  std::function<std::optional<QString>(const QString& start)> chooseFolder;
  // Shows a folder in the desktop's file manager, or a file in its program.
  std::function<void(const QString& folder)> openFolder;
  std::function<void(const QString& file)> openFile;
  // Shows the help (Markdown) beside the window.
  std::function<void(const QString& markdown)> showHelp;
  // Asks which reading of a data file that two layouts read is meant (the question, a
  // choice per reading); the choice's index, or nothing when the user declined.
  std::function<std::optional<int>(const QString& question, const QStringList& choices)>
      chooseReading;

  // Seeds the random generators instead of the clock; only for repeatable Runs. Takes
  // precedence over the seed field.
  std::optional<uint32_t> runSeed;

  // The settings a Run started now would use.
  genosieve::RunSettings CurrentSettings() const;

  // The About message, lines separated by CR alone.
  static QString AboutText();

  bool IsRunning() const { return running_; }

  // The folder that receives the files of the next Run: empty for the process's current
  // folder.
  QString WorkingFolder() const;
  void SetWorkingFolder(const QString& folder);
  // The data file's own folder becomes the working folder at the next Run, as when the
  // file was chosen with the dialog; for a start from the desktop's menu, where the
  // current folder is the home folder.
  void SetWorkingFolderBesideData();
  // A data file chosen with the dialog, dropped on the window or given at start: the data
  // path, and its folder as the working folder and the dialog's next folder. When that
  // folder cannot take a Run's files, offers to choose another.
  void ChooseDataFile(const QString& path);

  // Reads the last data folder, the settings, the Runs' origins and the window's geometry
  // (QSettings), and saves them when the window closes. Without it the window remembers
  // nothing.
  void RestoreSettings();
  void SaveSettings() const;

  // Fits the window inside the screen's available area (its frame included), smaller if
  // need be, as far as its least size allows.
  void FitToScreen(const QRect& available);

  // Every running P-value of the last overall test, as added; the chart draws a
  // decimated copy.
  const std::vector<double>& ChartValues() const { return pValueChart_.values; }

  // Run view; safe to call from the thread that performs the Run.
  void RunPlanned(int32_t tests, int32_t iterations) override;
  void TestStarted(genosieve::RandomizationKind kind, int32_t index, int32_t count,
                   const std::string& name) override;
  void SeedChosen(uint32_t seed) override;
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressPosition(int position) override;
  void ClearChart() override;
  void AddChartPoint(double value) override;
  void AddChartPoints(const std::vector<double>& values) override;
  void RunningPValues(genosieve::RandomizationKind kind, int32_t index,
                      const std::vector<genosieve::RunningPValuePoint>& points) override;
  void ShowChartSeries() override;
  void ShowMessage(const std::string& text) override;
  void TestFinished(const genosieve::TestOutcome& outcome) override;
  void ClonesFound(const std::vector<genosieve::PopulationClones>& membership) override;
  void ClonalityFound(const genosieve::ClonalityResults& results) override;
  void ShowNotice(const std::string& text) override;
  bool StopRequested() override { return stopRequested_; }

 public slots:
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  // Asks the Run to stop at its next iteration; the window stays.
  void StopClick();
  void OpenFolderClick();
  void ResultsClick();
  void WorkingFolderClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Takes what the Run reported since the last time and shows it.
  void PollRun();
  // After a call of the Run view on the window's own thread: shown at once.
  void PollIfOnWindowThread();
  void ShowRunStatus();
  // The Run has ended: the clock stops, Stop is disabled, the results are drawn; once.
  void EndRun(const std::exception_ptr& failure);
  // Whether a Run may start: a data file, a seed, iterations, and no other data file's
  // Run files to replace unasked; shows what stands in the way.
  bool ReadyToRun(const genosieve::RunSettings& settings);
  // Nothing of the last Run stays on screen.
  void ClearLastRun();
  // Makes one Run with the settings, from its start to the end shown; its error, if any.
  std::exception_ptr RunWith(const genosieve::RunSettings& settings);
  void DataPathEdited();
  void SetRunning(bool running);
  void Relayout();
  void ShowResults(bool shown);
  void ShowWorkingFolder();
  QString EffectiveWorkingFolder() const;
  // Where the save dialogs start: the last Run's folder, else the working folder.
  QString SaveFolder() const;
  QMenu* NewChartMenu(QChartView* view, const QString& prefix,
                      const std::function<QString()>& values);
  void ShowCurvePoint(const QPointF& point, bool state);

  QPushButton* Button1;        // "Data file:": chooses the data file through OpenDialog1
  QLineEdit* Edit1;            // the data path
  QPushButton* Button2;        // "Quit"
  QPushButton* Button3;        // "Run": starts the Run with the current settings
  QLineEdit* Edit2;            // the iterations text
  QProgressBar* ProgressBar1;  // the whole Run's progress
  QChartView* Chart2;          // the running P-value of the overall test
  QLineEdit* Edit5;            // the result name
  QCheckBox* CheckBox2;        // "per locus analysis"
  QCheckBox* CheckBox3;        // "per pop analysis"
  QPushButton* Button4;        // "About Genosieve V.0.4.": the About message
  QCheckBox* CheckBox1;        // "create files iterations / p-values"
  QCheckBox* CheckBox4;        // "create file of Fis values": every randomized Fis, as TSV
  QLabel* Label1;              // "Number of iterations : ", before Edit2
  QLabel* Label4;              // "Name of  result file", before Edit5
  QFileDialog* OpenDialog1;    // the file-open dialog of Button1
  QLineSeries* Series2;        // Chart2's series: the running P-value, decimated

  // Added to the first layout, in its free space.
  QLabel* SeedLabel;                 // "Seed:", before SeedEdit
  QLineEdit* SeedEdit;               // an optional seed, for a repeatable Run
  QCheckBox* LogScaleBox;            // "log scale": Chart2's P-value axis
  QLabel* StatusLine;                // the whole Run's progress, its end, the notices
  QPushButton* StopButton;           // "Stop": ends the Run at its next iteration
  QPushButton* ChartButton;          // "Chart": saves or copies Chart2
  QPushButton* OpenFolderButton;     // "Open folder": the working folder in the file manager
  QPushButton* WorkingFolderButton;  // "Working folder…": chooses it
  QLabel* FolderLabel;               // "Working folder: ..."
  QPushButton* ResultsButton;        // "Results": shows or hides the results panel

  PValueChart pValueChart_;  // Chart2 and Series2 with their axes and values
  ResultsPanel results_;     // right of everything: the last Run's results
  RunChannel channel_;       // what the Run's thread reports

  QStringList notices_;
  // The seed of the last Run's tests, once the Run has chosen it.
  std::optional<uint32_t> lastSeed_;
  // The Run's decimal separator, for what is shown and copied of it.
  char separator_ = '.';

  // The dialog's file name: what was chosen last, kept when the dialog is cancelled.
  QString dialogFileName_;
  QString lastDataFolder_;
  WorkingFolderChoice workingFolder_;
  QString lastRunFolder_;   // where the last Run wrote its files
  QString lastRunData_;     // the data path of the last Run
  QString lastRunResults_;  // its result name
  // The layout the user chose for the data file formatPath_, when two layouts read it;
  // another data path is read in the layout recognised.
  genosieve::DataFormat dataFormat_ = genosieve::DataFormat::kAuto;
  QString formatPath_;
  RunOrigins runOrigins_;
  bool rememberSettings_ = false;
  // Whether a Run is going on: the settings take no input meanwhile.
  bool running_ = false;
  // The Run has done its work (its end is shown) though its thread may not have returned.
  bool runEnded_ = false;
  // The user asked the Run to stop; polled by the Run at each iteration.
  std::atomic<bool> stopRequested_ = false;
  // The window closes once the Run has ended.
  bool quitAfterRun_ = false;
  // Whether the results panel was opened (the window grew for it).
  bool resultsShown_ = false;
  RunProgress shownProgress_;  // the Run's progress as last taken from the channel
  EstimateSettling settling_;
  double shownFraction_ = 0;     // the whole Run's share shown; it never goes back
  int64_t runMilliseconds_ = 0;  // the Run's time, once it has ended
  QElapsedTimer runClock_;
  QElapsedTimer chartClock_;            // since the running chart was last drawn
  QTimer* pollTimer_;                   // takes the Run's news a few times a second
  QTimer* noticeTimer_;                 // how long a notice stays in the status line
  QPointer<QMessageBox> stopQuestion_;  // "Stop the Run and quit?", while asked
};
