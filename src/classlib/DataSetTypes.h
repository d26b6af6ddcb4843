#pragma once

#include "Exception.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Enumerations and small types shared by the dataset, field and data-source classes. Kept
// separate so that headers which only pass these around stay light.

namespace qd {

class TDataSet;
class TField;

enum TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening
};

// Field types by their class-library names; the order is the class library's, so a stored
// type number means the same thing everywhere. The underlying type is fixed so that a type
// number with flag bits set (a provider's parameter type) is still a value of the enumeration.
enum TFieldType : int {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid,
    ftTimeStamp,
    ftFMTBcd
};

// The class library's name of a field type ("String", "Integer", "Blob", ...).
QString FieldTypeName(TFieldType type);
bool IsBlobType(TFieldType type);

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };

// Notifications from a dataset to its data sources and links; the numbers are fixed.
enum TDataEvent {
    deFieldChange = 0,
    deRecordChange = 1,
    deDataSetChange = 2,
    deDataSetScroll = 3,
    deLayoutChange = 4,
    deUpdateRecord = 5,
    deUpdateState = 6,
    deCheckBrowseMode = 7,
    dePropertyChange = 8,
    deFieldListChange = 9,
    deFocusControl = 10
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };
enum TDataAction { daFail, daAbort, daRetry };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };

// Small sets as bit masks: FilterOptions() & foCaseInsensitive.
enum TFilterOption { foCaseInsensitive = 1, foNoPartialCompare = 2 };
using TFilterOptions = unsigned;
enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;
enum TResyncMode { rmExact = 1, rmCenter = 2 };
using TResyncModes = unsigned;

// A record buffer is a block of bytes whose layout belongs to the dataset descendant.
using TRecordBuffer = char *;
// Bookmark data as the descendant hands it out; an empty array is "no bookmark".
using TBookmark = QByteArray;

using TDataSetNotifyEvent = std::function<void(TDataSet *)>;
using TDataSetErrorEvent = std::function<void(TDataSet *, EDatabaseError &, TDataAction &)>;
using TFilterRecordEvent = std::function<void(TDataSet *, bool &)>;

// The silent exception: it unwinds an operation without an error message (a daAbort action).
class EAbort : public Exception {
public:
    EAbort()
        : Exception(QStringLiteral("Operation aborted"))
    {
    }
};

// Raises EDatabaseError; with a component name the message is prefixed "Name: ".
[[noreturn]] void DatabaseError(const QString &message, const QString &componentName = {});

} // namespace qd
