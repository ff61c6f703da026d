#pragma once
// The "Convert" page of the preferences: what happens when a run completes.

#include <QWidget>

namespace Ui { class ConvertWidget; }

class ConvertWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ConvertWidget(QWidget *parent = nullptr);
    ~ConvertWidget() override;

    // Always stores "bIsShowDownComputer".
    void save();

private:
    Ui::ConvertWidget *ui;
};
