#pragma once

#include <QDialog>
#include <QPoint>

namespace Ui {
class about;
}

// The about box: product name, version and the home-page links.
class about : public QDialog
{
    Q_OBJECT

public:
    explicit about(QWidget *parent = nullptr);
    ~about() override;

    void setVersion(const QString &version);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private Q_SLOTS:
    void on_labelHomePage_linkActivated(const QString &link);
    void on_labelSupport_linkActivated(const QString &link);
    void on_closeBun_clicked();

private:
    void applySkin();

    QPoint dragOrigin;
    Ui::about *ui;
};
