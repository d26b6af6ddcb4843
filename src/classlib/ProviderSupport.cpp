#include "ProviderSupport.h"

#include "DataSet.h"

namespace qd {

EUpdateError IProviderSupport::PSGetUpdateException(
    std::exception_ptr error, const EUpdateError *prev)
{
    QString message;
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const Exception &e) {
        message = e.Message();
    } catch (const std::exception &e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    return EUpdateError(message, QString(), 0, prev ? prev->ErrorCode() : 0, error);
}

QString IProviderSupport::DefaultKeyFields(const TDataSet &dataSet)
{
    QString result;
    for (TField *field : dataSet.Fields()) {
        if (!(field->ProviderFlags() & pfInKey))
            continue;
        if (!result.isEmpty())
            result += QLatin1Char(';');
        result += field->FieldName();
    }
    return result;
}

} // namespace qd
