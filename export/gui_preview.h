#pragma once
// The preview of the export window: a world-coordinate surface that shows the selected
// file as the suite draws it (an NEH plan through the plan plotter's pass, a SEC file's
// sections through the section plotter's pass, or a plan sheet through the sheet's own
// painting), zoomed with the wheel and panned by dragging.
//
// Reading and drawing happen on a worker thread of the preview into an image of the
// widget's size; the window only shows finished images (the last one moved and scaled to
// the new view while the next is drawn), so it never waits on a file. A newer view stops
// the drawing of an older one.
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace surveyexport {

struct PlanSheetOptions;

// A view: the world point (cx, cy) at the middle of an image of width x height pixels,
// perPixel world units to a pixel; world y upward (metres) or downward (a sheet's mm).
struct PreviewView {
  double cx = 0, cy = 0, perPixel = 1;
  int width = 0, height = 0;
  bool yUp = true;
  QPointF ToPixel(double x, double y) const;
  QPointF ToWorld(const QPointF& pixel) const;
};

// The view that shows the whole extent in an image of that size, with a small margin.
PreviewView FitPreviewView(const QRectF& extent, bool yUp, int width, int height);

// What a preview shows. Prepare and Draw run on the preview's worker thread; keepGoing
// turns false when the drawing is no longer wanted.
class PreviewScene {
 public:
  virtual ~PreviewScene() = default;
  // Reads what the extent needs: empty, or the line of the problem.
  virtual std::string Prepare(const std::function<bool()>& keepGoing) = 0;
  virtual QRectF Extent() const = 0;  // in world units, normalised
  virtual bool YUp() const { return true; }
  virtual QColor Background() const { return Qt::white; }
  // Draws into the image, which holds the background; false when stopped.
  virtual bool Draw(QImage& image, const PreviewView& view,
                    const std::function<bool()>& keepGoing) = 0;
  // The window of the survey (E and N, m) that a part of the world shows, as --view takes
  // it; empty when the scene is no plan or the part shows none of it.
  virtual QRectF Ground(const QRectF& shown) const {
    (void)shown;
    return {};
  }
};

// An NEH file (and its reference file) through the plan plotter's pass, light scheme.
std::shared_ptr<PreviewScene> PlanScene(const std::string& neh, const std::string& reference,
                                        bool numbers, bool levels);
// The plan sheet (PDF, SVG) as the sheet's own painting paints it, at the options' paper,
// orientation and scale: what the preview shows is what prints.
std::shared_ptr<PreviewScene> SheetScene(const PlanSheetOptions& options);
// The sections of a SEC file through the section plotter's pass, one above another,
// each under its title: the range from..to when from is given, else every section.
std::shared_ptr<PreviewScene> SectionsScene(const std::string& sec, const std::string& from,
                                            const std::string& to, double horizontal,
                                            double vertical, bool heights);

class PreviewArea : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewArea(QWidget* parent = nullptr);
  ~PreviewArea() override;

  // Shows the scene fitted to the area (nothing for null), with a line to say while none
  // is drawn ("Select a file to preview it").
  void SetScene(std::shared_ptr<PreviewScene> scene);
  void SetIdleText(const QString& text);
  // Back to the whole of the scene.
  void Fit();
  // Zoom by a factor about a pixel of the area (factor > 1 nearer).
  void ZoomAt(const QPointF& pixel, double factor);
  void PanBy(const QPointF& pixels);

  // What is shown: the view, the image drawn for it (null while none is), the problem.
  const PreviewView& View() const { return view_; }
  // The window of the survey the area shows now (see PreviewScene::Ground).
  QRectF ShownGround() const;
  const QImage& Image() const { return image_; }
  bool Drawing() const { return pending_; }
  QString Problem() const { return problem_; }

 signals:
  // An image for the current view is shown; ms since the scene or view was asked for.
  void Drawn(qint64 ms);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;

 private:
  struct Job {
    std::shared_ptr<PreviewScene> scene;
    bool prepare = false;  // read the scene first and fit the view to it
    PreviewView view;
    int generation = 0;
  };
  void Request(bool prepare);
  void WorkerLoop();
  void Shown(int generation, const QImage& image, const PreviewView& view, const QRectF& extent,
             const QString& problem, bool prepared);

  std::shared_ptr<PreviewScene> scene_;
  QRectF extent_;
  bool prepared_ = false;
  PreviewView view_;
  QImage image_;  // drawn for imageView_
  PreviewView imageView_;
  QString problem_, idle_;
  bool pending_ = false;
  qint64 askedAt_ = 0;
  QPointF dragFrom_;
  bool dragging_ = false;

  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool quit_ = false;
  bool haveJob_ = false;
  Job job_;
  std::atomic<int> generation_{0};
};

}  // namespace surveyexport
