#include "widgets/ListAssignment.h"

#include "core/Guard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

SortedListBox::SortedListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void SortedListBox::addEntry(const QString &text)
{
    int row = m_sorted ? 0 : count();
    while (row < count() && item(row)->text().compare(text, Qt::CaseInsensitive) <= 0)
        ++row;
    insertItem(row, text);
}

void SortedListBox::addEntries(const QStringList &texts)
{
    for (const QString &t : texts)
        addEntry(t);
}

void SortedListBox::setEntries(const QStringList &texts)
{
    clear();
    QStringList sorted = texts;
    if (m_sorted) {
        std::stable_sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
    }
    addItems(sorted);
}

QStringList SortedListBox::entries() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << item(i)->text();
    return out;
}

QStringList SortedListBox::selectedEntries() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected())
            out << item(i)->text();
    }
    return out;
}

bool SortedListBox::contains(const QString &text, Qt::CaseSensitivity cs) const
{
    for (int i = 0; i < count(); ++i) {
        if (item(i)->text().compare(text, cs) == 0)
            return true;
    }
    return false;
}

void SortedListBox::selectEntries(const QStringList &texts)
{
    for (int i = 0; i < count(); ++i)
        item(i)->setSelected(texts.contains(item(i)->text()));
}

ListAssignment::ListAssignment(const QString &availableCaption, const QString &chosenCaption, const Names &names,
                               QWidget *parent)
    : ListAssignment(availableCaption, chosenCaption, names, ListAssignmentOptions(), parent)
{
}

ListAssignment::ListAssignment(const QString &availableCaption, const QString &chosenCaption, const Names &names,
                               const ListAssignmentOptions &options, QWidget *parent)
    : QWidget(parent)
{
    m_available = new SortedListBox(this);
    m_available->setObjectName(QString::fromLatin1(names.available));
    m_available->setAccessibleName(availableCaption);
    m_chosen = new SortedListBox(this);
    m_chosen->setObjectName(QString::fromLatin1(names.chosen));
    m_chosen->setAccessibleName(chosenCaption);
    for (SortedListBox *box : {m_available, m_chosen}) {
        box->setSorted(options.sorted);
        if (!options.multiSelect)
            box->setSelectionMode(QAbstractItemView::SingleSelection);
    }

    auto *buttonColumn = new QVBoxLayout;
    buttonColumn->addStretch();
    for (int i = 0; i < 4; ++i) {
        m_buttons[i] = nullptr;
        if (!names.buttons[i])
            continue;
        m_buttons[i] = new QPushButton(QString::fromLatin1(options.captions[i]), this);
        m_buttons[i]->setObjectName(QString::fromLatin1(names.buttons[i]));
        buttonColumn->addWidget(m_buttons[i]);
    }
    buttonColumn->addStretch();

    auto column = [this](const QString &caption, SortedListBox *box) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(box);
        auto *layout = new QVBoxLayout;
        layout->addWidget(label);
        layout->addWidget(box);
        return layout;
    };
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(column(availableCaption, m_available), 1);
    layout->addLayout(buttonColumn);
    layout->addLayout(column(chosenCaption, m_chosen), 1);

    for (SortedListBox *box : {m_available, m_chosen}) {
        vox::connect(box, &QListWidget::itemSelectionChanged, this, [this] { emit listsClicked(); });
        vox::connect(box, &QListWidget::currentRowChanged, this, [this] { emit listsClicked(); });
    }
}

QStringList ListAssignment::chosen() const
{
    return m_chosen->entries();
}

void ListAssignment::setChosen(const QStringList &chosen, const QStringList &catalogue)
{
    m_chosen->setEntries(chosen);
    offer(catalogue);
}

void ListAssignment::offer(const QStringList &catalogue, const QStringList &exclude)
{
    m_available->clear();
    for (const QString &name : catalogue) {
        if (!m_chosen->contains(name) && !exclude.contains(name))
            m_available->addEntry(name);
    }
}

void ListAssignment::chooseSelected()
{
    m_chosen->addEntries(m_available->selectedEntries());
}

void ListAssignment::chooseAll()
{
    m_chosen->addEntries(m_available->entries());
    m_available->clear();
}

void ListAssignment::clearChosen(const QStringList &catalogue)
{
    m_chosen->clear();
    m_available->clear();
    m_available->addEntries(catalogue);
}

void ListAssignment::enableByCurrentEntries()
{
    if (selectButton())
        selectButton()->setEnabled(m_available->hasCurrentEntry());
    if (delSelectButton())
        delSelectButton()->setEnabled(m_chosen->hasCurrentEntry());
}
