#include "platform/ado/Connection.h"

namespace qz::ado {

void registerCreatables(CreatableRegistrar registrar) {
    registrar(u"ADODB.Connection", [] { return Ref<Dispatch>(makeRef<Connection>()); });
    registrar(u"ADODB.Recordset", [] { return Ref<Dispatch>(makeRef<Recordset>()); });
    registrar(u"ADOX.Catalog", [] { return createCatalog(); });
}

} // namespace qz::ado
