// plandra: plots an NEH file in plan. Built twice from this source: the dark build and,
// with PLANDRA_LIGHT_SCHEME defined, the light build (plandra-light).
#include <QApplication>

#include "planplot/plan_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
#ifdef PLANDRA_LIGHT_SCHEME
  const planplot::PlanScheme& scheme = planplot::kLightScheme;
#else
  const planplot::PlanScheme& scheme = planplot::kDarkScheme;
#endif
  planplot::PlanWindow window(scheme);
  window.show();
  window.raise();
  window.activateWindow();
  return app.exec();
}
