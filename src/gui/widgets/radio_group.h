#pragma once
// A titled group of mutually exclusive choices, one radio button per item,
// addressed by the index of the chosen item (-1 when none is chosen).
#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

namespace tandrel {

class TRadioGroup : public QGroupBox {
    Q_OBJECT

public:
    explicit TRadioGroup(QWidget* parent = nullptr);
    explicit TRadioGroup(const QString& title, QWidget* parent = nullptr);

    QStringList items() const;
    // Rebuilds the buttons; the chosen index stays when it is still in range.
    void setItems(const QStringList& items);
    int itemIndex() const { return itemIndex_; }
    // An index outside the items chooses none.
    void setItemIndex(int index);
    // The button of one item, nullptr outside the items.
    QRadioButton* button(int index) const;

signals:
    // The chosen index changed, by the user or by setItemIndex / setItems.
    void itemIndexChanged(int index);

private:
    void buttonToggled(int id, bool checked);
    void checkButtonOf(int index);

    QButtonGroup* group_;
    QVBoxLayout* layout_;
    QList<QRadioButton*> buttons_;
    int itemIndex_ = -1;
};

}  // namespace tandrel
