#pragma once

#include <QList>
#include <QPointF>
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
#include "working_folder_choice.h"

class QChartView;
class QCheckBox;
class QElapsedTimer;
class QFileDialog;
class QLabel;
class QLineEdit;
class QLineSeries;
class QMenu;
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

  // Modal boxes and the file dialogs go through these, so that they can be replaced
  // where no one is there to press OK (tests, scripted screenshots).
  std::function<void(const QString& text)> showMessage;
  std::function<void(const QString& text)> showError;
  std::function<void(const QString& text)> showAbout;
  // Shows the dialog; returns the chosen file, or nothing when the user cancelled.
  std::function<std::optional<QString>(QFileDialog& dialog)> chooseFile;
  // Asks where to save (caption, filters, suggested path); nothing when cancelled.
  std::function<std::optional<QString>(const QString& caption, const QString& filters,
                                       const QString& suggested)>
      chooseSaveFile;
  // Asks "Stop the Run and quit?"; true for yes.
  std::function<bool()> askStopAndQuit;
  // Shows a folder in the desktop's file manager.
  std::function<void(const QString& folder)> openFolder;

  // Seeds the random generators instead of the clock; only for repeatable Runs. Takes
  // precedence over the seed field.
  std::optional<uint32_t> runSeed;

  // The settings a Run started now would use; nothing, after an error box, when the
  // seed field holds no valid seed.
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
  // path, and its folder as the working folder and the dialog's next folder.
  void ChooseDataFile(const QString& path);

  // Reads the last data folder, the settings and the window's geometry (QSettings), and
  // saves them when the window closes. Without it the window remembers nothing.
  void RestoreSettings();
  void SaveSettings() const;

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
  void ShowChartSeries() override;
  void ShowMessage(const std::string& text) override;
  void TestFinished(const genosieve::TestOutcome& outcome) override;
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

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Runs the action on the window's thread after every earlier one; with wait, returns
  // only once it has run.
  void OnWindowThread(std::function<void()> action, bool wait);
  // Changes the progress report and has it applied on the window's thread.
  void ReportProgress(const std::function<void(ProgressReport&)>& change);
  void ApplyProgress();
  void ShowRunStatus();
  void SetRunning(bool running);
  void Relayout();
  void ShowResults(bool shown);
  void ShowWorkingFolder();
  QString EffectiveWorkingFolder() const;
  // Where the save dialogs start: the last Run's folder, else the working folder.
  QString SaveFolder() const;
  void SaveChart(QChartView* view, const QString& prefix);
  QMenu* NewChartMenu(QChartView* view, const QString& prefix,
                      const std::function<void()>& copyValues);
  void ShowCurvePoint(const QPointF& point, bool state);

  QPushButton* Button1;        // "Data file:": chooses the data file through OpenDialog1
  QLineEdit* Edit1;            // the data path
  QPushButton* Button2;        // "Quit"
  QPushButton* Button3;        // "Run": starts the Run with the current settings
  QLineEdit* Edit2;            // the iterations text
  QProgressBar* ProgressBar1;  // the iterations of the test that runs
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
  QLabel* SeedLabel;              // "Seed:", before SeedEdit
  QLineEdit* SeedEdit;            // an optional seed, for a repeatable Run
  QLabel* StatusLine;             // the whole Run's progress, its end, the notices
  QPushButton* StopButton;        // "Stop": ends the Run at its next iteration
  QPushButton* ChartButton;       // "Chart": saves or copies Chart2
  QPushButton* OpenFolderButton;  // "Open folder": the working folder in the file manager
  QLabel* FolderLabel;            // "Working folder: ..."
  QPushButton* ResultsButton;     // "Results": shows or hides the results panel

  PValueChart pValueChart_;  // Chart2 and Series2 with their axes and values
  ResultsPanel results_;     // right of everything: the last Run's results

  QStringList notices_;
  // The seed of the last Run's tests, once the Run has chosen it.
  std::optional<uint32_t> lastSeed_;

  // The dialog's file name: what was chosen last, kept when the dialog is cancelled.
  QString dialogFileName_;
  QString lastDataFolder_;
  WorkingFolderChoice workingFolder_;
  QString lastRunFolder_;  // where the last Run wrote its files
  bool rememberSettings_ = false;
  // The first failure of a view operation during a Run, shown when the Run ends.
  std::exception_ptr windowFailure_;
  // Whether a Run is going on: the settings take no input meanwhile.
  bool running_ = false;
  // The user asked the Run to stop; polled by the Run at each iteration.
  std::atomic<bool> stopRequested_ = false;
  // The window closes once the Run has ended.
  bool quitAfterRun_ = false;
  // Whether the results panel was opened (the window grew for it).
  bool resultsShown_ = false;
  ProgressReport report_;
  RunProgress shownProgress_;  // the window thread's copy of report_.run
  QElapsedTimer* runClock_;
  QTimer* statusTimer_;  // refreshes the elapsed time while a Run works
  QTimer* noticeTimer_;  // how long a notice stays in the status line
};
