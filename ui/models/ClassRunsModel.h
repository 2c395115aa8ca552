#pragma once
// The class's runs as a table: one row a run the server listed, the
// student, experiment, start, kit, controller, gains, reference and length,
// then every figure. A cell shows a figure as every table does
// (LabTexts::figureValue); its tooltip and its sort value are the whole number.

#include "store/ClassServer.h"

#include <QAbstractTableModel>

#include <vector>

namespace tervalo {

class ClassRunsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Student, Experiment, Start, Kit, Controller, Gains, Reference, Duration, FirstFigure };
    static constexpr int kColumnCount = FirstFigure + static_cast<int>(kMetricCount);
    // The value a column sorts by.
    static constexpr int SortRole = Qt::UserRole;

    explicit ClassRunsModel(QObject *parent = nullptr);

    void setRuns(std::vector<ClassRunLine> runs);
    const std::vector<ClassRunLine> &runs() const { return runs_; }
    const ClassRunLine &run(int row) const { return runs_[static_cast<std::size_t>(row)]; }
    void setLanguage(bool english);

    // The kit a run was made on: its PC and plant ("lab-pc-3, kit").
    static QString kitOf(const ClassRunLine &line);
    // The local time of a run's start as the table shows it.
    static QString startText(const ClassRunLine &line);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<ClassRunLine> runs_;
    bool english_ = true;
};

} // namespace tervalo
