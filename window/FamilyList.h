// The short list of the families of copies on the result page: one line per
// family with its size, its first text and its highest score. Choosing a
// line asks for the family's rows in the results table.
#pragma once

#include "engine/DocumentTable.h"
#include "engine/Families.h"

#include <QListWidget>
#include <QString>
#include <cstdint>

namespace quillmark {

class FamilyList : public QListWidget {
    Q_OBJECT

public:
    /// The number of a line's family.
    static constexpr int FamilyRole = Qt::UserRole;

    explicit FamilyList(QWidget* parent = nullptr);

    /// Shows `families` of `documents`; hidden when there are none.
    void setFamilies(const DocumentTable& documents, const Families& families);
    /// The height that shows `rows` lines whole.
    int heightFor(int rows) const;

signals:
    /// A line was clicked or chosen with the keyboard.
    void familyChosen(int number);

private:
    static QString entryText(const DocumentTable& documents, const Family& family, int number);
    static QString memberName(const DocumentTable& documents, std::int32_t member);
};

} // namespace quillmark
