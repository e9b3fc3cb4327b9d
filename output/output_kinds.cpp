#include "output/output_kinds.h"

#include <algorithm>

namespace timers {

namespace {
// Function-local: kinds add themselves during static initialisation, in any order.
std::vector<OutputKind>& kinds()
{
    static std::vector<OutputKind> added;
    return added;
}
} // namespace

bool OutputKinds::add(OutputKind kind)
{
    kinds().push_back(std::move(kind));
    return true;
}

std::vector<OutputKind> OutputKinds::all()
{
    std::vector<OutputKind> sorted = kinds();
    std::sort(sorted.begin(), sorted.end(), [](const OutputKind& a, const OutputKind& b) {
        const bool aLine = a.name == QLatin1String("line");
        const bool bLine = b.name == QLatin1String("line");
        return aLine != bLine ? aLine : a.name < b.name;
    });
    return sorted;
}

const OutputKind* OutputKinds::find(const QString& name)
{
    const auto& added = kinds();
    const auto found = std::find_if(added.begin(), added.end(),
                                    [&](const OutputKind& kind) { return kind.name == name; });
    return found == added.end() ? nullptr : &*found;
}

std::unique_ptr<DeviceOutput> chooseOutput(const QString& name, const OutputOptions& options,
                                           SerialOutput::Context context)
{
    const OutputKind* kind = OutputKinds::find(name);
    if (!kind) {
        context.report(QStringLiteral("timers.conf names an output \"%1\" that Timers does not know; using the COM "
                                      "port's line")
                           .arg(name));
        kind = OutputKinds::find(QStringLiteral("line"));
    }
    return kind->make(std::move(context), options);
}

} // namespace timers
