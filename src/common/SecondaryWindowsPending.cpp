// Stand-ins for the secondary windows until they are built.
#include "common/SecondaryWindows.h"

#include "common/Utilities.h"

namespace quillet {

void ShowHelpTopics(QWidget* parent) {
    ShowMessage(QStringLiteral("Not available yet."), parent);
}

}  // namespace quillet
