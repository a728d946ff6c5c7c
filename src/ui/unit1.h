#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>

#include "analysis/run_settings.h"
#include "analysis/run_view.h"

class QCheckBox;
class QChart;
class QChartView;
class QFileDialog;
class QLabel;
class QLineEdit;
class QLineSeries;
class QProgressBar;
class QPushButton;
class QValueAxis;

// The program's one window: gathers the run settings, starts the Run and shows its
// progress, the overall test's running P-value and its messages.
class TForm1 : public QWidget, public genosieve::RunView {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // Modal boxes and the file dialog go through these, so that they can be replaced
  // where no one is there to press OK (tests, scripted screenshots).
  std::function<void(const QString& text)> showMessage;
  std::function<void(const QString& text)> showError;
  std::function<void(const QString& text)> showAbout;
  // Shows the dialog; returns the chosen file, or nothing when the user cancelled.
  std::function<std::optional<QString>(QFileDialog& dialog)> chooseFile;

  // Seeds the random generators instead of the clock; only for repeatable Runs.
  std::optional<uint32_t> runSeed;

  // The settings a Run started now would use.
  genosieve::RunSettings CurrentSettings() const;

  // The About message, lines separated by CR alone.
  static QString AboutText();

  bool IsRunning() const { return running_; }

  // Run view; safe to call from the thread that performs the Run.
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressPosition(int position) override;
  void ClearChart() override;
  void AddChartPoint(double value) override;
  void AddChartPoints(const std::vector<double>& values) override;
  void ShowChartSeries() override;
  void ShowMessage(const std::string& text) override;

 public slots:
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs the action on the window's thread after every earlier one; with wait, returns
  // only once it has run.
  void OnWindowThread(std::function<void()> action, bool wait);
  void FlushChartPoints();
  // Fits the axes to the points the series is about to hold.
  void RescaleAxes(const QList<QPointF>& points);
  void SetRunning(bool running);

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
  QLabel* Label1;              // "Number of iterations : ", before Edit2
  QLabel* Label4;              // "Name of  result file", before Edit5
  QFileDialog* OpenDialog1;    // the file-open dialog of Button1

  QChart* chart_;        // Chart2's chart: title, axes and Series2
  QLineSeries* Series2;  // one point per iteration of the overall test
  QValueAxis* axisX_;    // bottom axis: the iteration number
  QValueAxis* axisY_;    // left axis: the running P-value

  // Points added since the series was last drawn; appended in one batch so that a
  // long test does not redraw the chart once per point.
  QList<QPointF> pendingPoints_;
  // The dialog's file name: what was chosen last, kept when the dialog is cancelled.
  QString dialogFileName_;
  // The first failure of a view operation during a Run, shown when the Run ends.
  std::exception_ptr windowFailure_;
  // Whether a Run is going on: the controls take no input meanwhile.
  bool running_ = false;
};
