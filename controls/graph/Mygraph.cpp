#include "controls/graph/Mygraph.h"

// Placeholder bodies; the drawing control is filled in separately.
namespace tervalo {
Mygraph::Mygraph(QWidget *parent) : QWidget(parent) {}
void Mygraph::SaveGraph() {}
void Mygraph::PlotGraph1(double, double, double, double, double, double, double, double, double, std::int16_t) {}
void Mygraph::Resetle() {}
std::uint8_t Mygraph::GridSayisi() const { return 10; }
void Mygraph::setGridSayisi(int) {}
std::int16_t Mygraph::ZeroPoint() const { return 2; }
void Mygraph::setZeroPoint(int) {}
std::int32_t Mygraph::Ymax() const { return 10; }
void Mygraph::setYmax(std::int32_t) {}
std::int32_t Mygraph::TimeDivision() const { return 100; }
void Mygraph::setTimeDivision(std::int32_t) {}
std::int32_t Mygraph::XaxisMax() const { return 10; }
void Mygraph::setXaxisMax(std::int32_t) {}
std::uint32_t Mygraph::GridColor() const { return 0; }
void Mygraph::setGridColor(std::uint32_t) {}
std::uint32_t Mygraph::RefLineColor() const { return 0; }
void Mygraph::setRefLineColor(std::uint32_t) {}
std::uint32_t Mygraph::GraphColor(int) const { return 0; }
void Mygraph::setGraphColor(int, std::uint32_t) {}
std::uint32_t Mygraph::LabelColor() const { return 0; }
void Mygraph::setLabelColor(std::uint32_t) {}
std::uint32_t Mygraph::BackColor() const { return 0; }
void Mygraph::setBackColor(std::uint32_t) {}
std::uint32_t Mygraph::XYsidegridColor() const { return 0; }
void Mygraph::setXYsidegridColor(std::uint32_t) {}
bool Mygraph::AutoSaveGraph() const { return false; }
void Mygraph::setAutoSaveGraph(bool) {}
QString Mygraph::Ylabel() const { return {}; }
void Mygraph::setYlabel(const QString &) {}
QString Mygraph::Xlabel() const { return {}; }
void Mygraph::setXlabel(const QString &) {}
QString Mygraph::GraphCaption(int) const { return {}; }
void Mygraph::setGraphCaption(int, const QString &) {}
void Mygraph::InitProperties() {}
void Mygraph::ReadProperties(const PropertyBag &) {}
void Mygraph::WriteProperties(PropertyBag &) const {}
const QImage &Mygraph::picture() const { return image_; }
} // namespace tervalo
