#include "ui/models/ClassRunsModel.h"

#include "ui/texts/LabTexts.h"
#include "ui/texts/TextPair.h"

#include <QDateTime>

#include <cmath>

namespace tervalo {

namespace {

constexpr TextPair kHeads[ClassRunsModel::FirstFigure] = {
    {"Student", "Öğrenci"},
    {"Experiment", "Deney dosyası"},
    {"Start", "Başlangıç"},
    {"Kit", "Düzenek"},
    {"Controller", "Denetleyici"},
    {"Gains", "Kazançlar"},
    {"R", "R"},
    {"Length (s)", "Süre (s)"},
};

double figureOf(const ClassRunLine &l, int column)
{
    return l.figures[static_cast<std::size_t>(column - ClassRunsModel::FirstFigure)];
}

} // namespace

ClassRunsModel::ClassRunsModel(QObject *parent) : QAbstractTableModel(parent) { }

void ClassRunsModel::setRuns(std::vector<ClassRunLine> runs)
{
    beginResetModel();
    runs_ = std::move(runs);
    endResetModel();
}

void ClassRunsModel::setLanguage(bool english)
{
    english_ = english;
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
    if (!runs_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

QString ClassRunsModel::kitOf(const ClassRunLine &line)
{
    return line.context.host + QStringLiteral(", ") + line.context.plantKind;
}

QString ClassRunsModel::startText(const ClassRunLine &line)
{
    const QDateTime t = QDateTime::fromString(line.startUtc, Qt::ISODateWithMs);
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : line.startUtc;
}

int ClassRunsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(runs_.size());
}

int ClassRunsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ClassRunsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ClassRunLine &l = run(index.row());
    const int c = index.column();
    if (c >= FirstFigure) {
        const double v = figureOf(l, c);
        const bool known = std::isfinite(v);
        const Metric m = kMetrics[static_cast<std::size_t>(c - FirstFigure)].metric;
        switch (role) {
        case Qt::DisplayRole:
            if (!known)
                return LabTexts::notAvailable(english_);
            return LabTexts::figureValue(m, v, l.mode == QLatin1String("simulation"), english_);
        case Qt::ToolTipRole: return known ? QString::number(v, 'g', 17) : QVariant();
        case SortRole: return known ? QVariant(v) : QVariant(-HUGE_VAL);
        case Qt::TextAlignmentRole: return int(Qt::AlignRight | Qt::AlignVCenter);
        default: return {};
        }
    }
    if (role == Qt::TextAlignmentRole)
        return c == Reference || c == Duration ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    if (role != Qt::DisplayRole && role != SortRole && role != Qt::ToolTipRole)
        return {};
    switch (c) {
    case Student: return l.context.student;
    case Experiment: return l.context.experiment;
    case Start: return role == SortRole ? QVariant(l.startUtc) : QVariant(startText(l));
    case Kit: return kitOf(l);
    case Controller: return l.controller;
    case Gains: return l.gains;
    case Reference: return l.reference;
    case Duration: return role == SortRole ? QVariant(l.durationS()) : QVariant(QString::number(l.durationS(), 'f', 1));
    default: return {};
    }
}

QVariant ClassRunsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < FirstFigure)
        return kHeads[section].in(english_);
    return LabTexts::figure(kMetrics[static_cast<std::size_t>(section - FirstFigure)].metric, english_);
}

} // namespace tervalo
