#pragma once

class QAccessibleInterface;
class QObject;
class QString;

namespace kv {

// For QAccessible::installFactory: frmMain as a screen reader meets it, a window named by its title
// (readers announce a window by that role), holding every control but the decorative line, which
// would otherwise be read out as a control of its own.
QAccessibleInterface* windowAccessibleFactory(const QString& className, QObject* object);

} // namespace kv
