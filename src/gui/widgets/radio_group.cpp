#include "gui/widgets/radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tandrel {

TRadioGroup::TRadioGroup(QWidget* parent) : TRadioGroup(QString(), parent) {}

TRadioGroup::TRadioGroup(const QString& title, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)), layout_(new QVBoxLayout(this)) {
    group_->setExclusive(true);
    connect(group_, &QButtonGroup::idToggled, this, &TRadioGroup::buttonToggled);
}

QStringList TRadioGroup::items() const {
    QStringList result;
    for (const QRadioButton* button : buttons_) result << button->text();
    return result;
}

void TRadioGroup::setItems(const QStringList& items) {
    for (QRadioButton* button : buttons_) {
        group_->removeButton(button);
        delete button;
    }
    buttons_.clear();
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        buttons_ << button;
        layout_->addWidget(button);
        group_->addButton(button, i);
    }
    const int kept = itemIndex_ < buttons_.size() ? itemIndex_ : -1;
    const bool changed = kept != itemIndex_;
    itemIndex_ = kept;
    checkButtonOf(itemIndex_);
    if (changed) emit itemIndexChanged(itemIndex_);
}

void TRadioGroup::setItemIndex(int index) {
    if (index < 0 || index >= buttons_.size()) index = -1;
    if (index == itemIndex_) return;
    // Set first, so the toggle this causes is not taken for a user's choice.
    itemIndex_ = index;
    checkButtonOf(index);
    emit itemIndexChanged(itemIndex_);
}

QRadioButton* TRadioGroup::button(int index) const {
    return index >= 0 && index < buttons_.size() ? buttons_[index] : nullptr;
}

void TRadioGroup::buttonToggled(int id, bool checked) {
    if (!checked || id == itemIndex_) return;
    itemIndex_ = id;
    emit itemIndexChanged(itemIndex_);
}

void TRadioGroup::checkButtonOf(int index) {
    if (index >= 0) {
        buttons_[index]->setChecked(true);
        return;
    }
    // An exclusive group never lets its last checked button go.
    if (QAbstractButton* checked = group_->checkedButton()) {
        group_->setExclusive(false);
        checked->setChecked(false);
        group_->setExclusive(true);
    }
}

}  // namespace tandrel
