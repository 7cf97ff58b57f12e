#include "platform/ado/Catalog.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Members.h"

#include <functional>

namespace qz::ado {

namespace {

constexpr const char* kCatSource = "ADOX.Catalog";

// A read-only collection: Count, Item(index or name, names without regard to
// case), For Each. Items are made on demand from the shared catalog data.
class ListObject final : public Dispatch {
public:
    using Make = std::function<Ref<Dispatch>(std::size_t)>;
    ListObject(std::vector<std::u16string> names, Make make, std::u16string type)
        : names_(std::move(names)), make_(std::move(make)), type_(std::move(type)) {}

    std::int32_t memberId(std::u16string_view name) override {
        static constexpr MemberName kMembers[] = {{u"Item", 0}, {u"Count", 1}, {u"Refresh", 2}};
        return findMember(kMembers, name);
    }
    Variant invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) override {
        if (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) raiseNotSupported(kCatSource);
        switch (id) {
        case 0: {
            if (isMissing(args, 0)) raiseAdo(kErrItemNotFound, kCatSource);
            const Variant key = args[0].dereference();
            if (key.isString()) {
                for (std::size_t i = 0; i < names_.size(); ++i)
                    if (equalsFolded(names_[i], key.stringValue())) return Variant(make_(i));
                raiseAdo(kErrItemNotFound, kCatSource);
            }
            const std::int32_t i = key.toLong();
            if (i < 0 || static_cast<std::size_t>(i) >= names_.size()) raiseAdo(kErrItemNotFound, kCatSource);
            return Variant(make_(static_cast<std::size_t>(i)));
        }
        case 1: return Variant(static_cast<std::int32_t>(names_.size()));
        case 2: return Variant();
        default: raiseNotSupported(kCatSource);
        }
    }
    Ref<Enumerator> newEnum() override {
        struct E final : Enumerator {
            Ref<ListObject> list;
            std::size_t i = 0;
            bool next(Variant& out) override {
                if (i >= list->names_.size()) return false;
                out = Variant(list->make_(i++));
                return true;
            }
        };
        Ref<E> e = makeRef<E>();
        e->list = Ref<ListObject>(this);
        return e;
    }
    std::u16string typeName() const override { return type_; }

private:
    std::vector<std::u16string> names_;
    Make make_;
    std::u16string type_;
};

std::u16string u16(const std::string& s) { return Variant::fromUtf8(s).stringValue(); }

// A plain object of named read-only properties.
class PropertyObject final : public Dispatch {
public:
    PropertyObject(std::u16string type, std::vector<std::pair<std::u16string_view, Variant>> props)
        : type_(std::move(type)), props_(std::move(props)) {}
    std::int32_t memberId(std::u16string_view name) override {
        for (std::size_t i = 0; i < props_.size(); ++i)
            if (equalsFolded(props_[i].first, name)) return static_cast<std::int32_t>(i + 1);
        return kDispidUnknown;
    }
    Variant invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) override {
        if (id == kDispidValue) id = 1; // Name
        if ((kind & (kInvokePropertyPut | kInvokePropertyPutRef)) || id < 1 ||
            static_cast<std::size_t>(id) > props_.size())
            raiseNotSupported(kCatSource);
        const Variant& v = props_[static_cast<std::size_t>(id - 1)].second;
        // Columns(0) reaches the collection's default member.
        if (v.isObject() && !isMissing(args, 0)) return v.objectValue()->invoke(kDispidValue, kInvokePropertyGet, args);
        return v;
    }
    std::u16string typeName() const override { return type_; }

private:
    std::u16string type_;
    std::vector<std::pair<std::u16string_view, Variant>> props_;
};

struct CatalogData final : RefCounted {
    std::vector<CatalogTable> tables;
};

Ref<Dispatch> keyObject(Ref<CatalogData> d, std::size_t t, std::size_t k) {
    const CatalogKey& key = d->tables[t].keys[k];
    std::vector<std::u16string> names;
    for (const CatalogKeyColumn& c : key.columns) names.push_back(u16(c.name));
    Ref<Dispatch> columns = makeRef<ListObject>(
        std::move(names),
        [d, t, k](std::size_t i) -> Ref<Dispatch> {
            const CatalogKeyColumn& c = d->tables[t].keys[k].columns[i];
            return makeRef<PropertyObject>(u"Column", std::vector<std::pair<std::u16string_view, Variant>>{
                {u"Name", Variant(u16(c.name))}, {u"RelatedColumn", Variant(u16(c.relatedColumn))}});
        },
        u"Columns");
    return makeRef<PropertyObject>(u"Key", std::vector<std::pair<std::u16string_view, Variant>>{
        {u"Name", Variant(u16(key.name))}, {u"Type", Variant(key.type)},
        {u"RelatedTable", Variant(u16(key.relatedTable))}, {u"Columns", Variant(columns)}});
}

Ref<Dispatch> tableObject(Ref<CatalogData> d, std::size_t t) {
    const CatalogTable& table = d->tables[t];
    std::vector<std::u16string> colNames, keyNames;
    for (const CatalogColumn& c : table.columns) colNames.push_back(u16(c.name));
    for (const CatalogKey& k : table.keys) keyNames.push_back(u16(k.name));
    Ref<Dispatch> columns = makeRef<ListObject>(
        std::move(colNames),
        [d, t](std::size_t i) -> Ref<Dispatch> {
            const CatalogColumn& c = d->tables[t].columns[i];
            return makeRef<PropertyObject>(u"Column", std::vector<std::pair<std::u16string_view, Variant>>{
                {u"Name", Variant(u16(c.name))}, {u"Type", Variant(c.type)},
                {u"DefinedSize", Variant(c.definedSize)}});
        },
        u"Columns");
    Ref<Dispatch> keys = makeRef<ListObject>(
        std::move(keyNames), [d, t](std::size_t k) { return keyObject(d, t, k); }, u"Keys");
    return makeRef<PropertyObject>(u"Table", std::vector<std::pair<std::u16string_view, Variant>>{
        {u"Name", Variant(u16(table.name))}, {u"Type", Variant(u16(table.type))},
        {u"Columns", Variant(columns)}, {u"Keys", Variant(keys)}});
}

class CatalogObject final : public Dispatch {
public:
    CatalogObject() = default;

    std::int32_t memberId(std::u16string_view name) override {
        static constexpr MemberName kMembers[] = {{u"Tables", 1}, {u"ActiveConnection", 2}, {u"Views", 3}};
        return findMember(kMembers, name);
    }
    Variant invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) override {
        const bool put = (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) != 0;
        if (id == 2 && put && !args.empty()) {
            const Variant& v = args.back();
            if (v.isObject()) {
                auto* conn = dynamic_cast<Connection*>(v.objectValue());
                if (!conn) raiseAdo(kErrInvalidArgument, kCatSource);
                connection_ = Ref<Dispatch>(conn);
                load(conn->catalog());
            } else {
                Ref<Connection> conn = makeRef<Connection>();
                conn->open(v.toUtf8());
                connection_ = Ref<Dispatch>(conn.get());
                load(conn->catalog());
            }
            return Variant();
        }
        if (put) raiseNotSupported(kCatSource);
        if (id == 2) return connection_ ? Variant(connection_) : Variant::nothing();
        if (id == 1 || id == 3) {
            if (!data_) raiseAdo(kErrInvalidConnection, kCatSource);
            std::vector<std::u16string> names;
            std::vector<std::size_t> index;
            for (std::size_t i = 0; i < data_->tables.size(); ++i) {
                if (id == 3 && data_->tables[i].type != "VIEW") continue;
                names.push_back(u16(data_->tables[i].name));
                index.push_back(i);
            }
            Ref<CatalogData> d = data_;
            Ref<Dispatch> list = makeRef<ListObject>(
                std::move(names), [d, index](std::size_t i) { return tableObject(d, index[i]); },
                id == 1 ? u"Tables" : u"Views");
            if (!isMissing(args, 0)) return list->invoke(kDispidValue, kInvokePropertyGet, args);
            return Variant(list);
        }
        raiseNotSupported(kCatSource);
    }
    std::u16string typeName() const override { return u"Catalog"; }

private:
    void load(std::vector<CatalogTable> tables) {
        data_ = makeRef<CatalogData>();
        data_->tables = std::move(tables);
    }
    Ref<CatalogData> data_;
    Ref<Dispatch> connection_;
};

} // namespace

Ref<Dispatch> createCatalog() { return makeRef<CatalogObject>(); }

} // namespace qz::ado
