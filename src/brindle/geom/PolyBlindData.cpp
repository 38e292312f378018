#include "brindle/geom/PolyBlindData.h"

#include "brindle/base/Diagnostics.h"

TpolyBdBlindData& TpolyBdBlindData::operator=(const TpolyBdBlindData& o) {
    if (this != &o) {
        fName = o.fName;
        copyData(o);
    }
    return *this;
}

int TpolyBdBlindData::addElement(const void* object, int32_t typeId, std::string_view name, uint32_t componentId,
                                 BD_dataHolder value, uint16_t extra, uint16_t state, bool replace) {
    const uint32_t tmpl = theBlindDataTable().findBd(typeId, name);
    if (tmpl == TbdTable::kNotFound) return -1;
    TbdDataPtrArray& list = *data();
    if (replace) {
        for (uint32_t i = 0; i < list.size(); ++i) {
            TbdData& d = list[i];
            if (d.isLive() && d.templateIndex == tmpl && d.componentId == componentId && d.object == object) {
                d.value = value;
                d.state = state;
                return 0;
            }
        }
    }
    TbdData& d = list.addLast();
    d.value = value;
    d.object = object;
    d.templateIndex = tmpl;
    d.componentId = componentId;
    d.state = state;
    d.extra = extra;
    return 0;
}

int TpolyBdBlindData::addBlindDataElement(const void* object, int32_t typeId, std::string_view name,
                                          uint32_t componentId, BD_dataHolder value, uint16_t extra, uint16_t state) {
    return addElement(object, typeId, name, componentId, value, extra, state, true);
}

int TpolyBdBlindData::addNewBlindDataElement(const void* object, int32_t typeId, std::string_view name,
                                             uint32_t componentId, BD_dataHolder value, uint16_t extra,
                                             uint16_t state) {
    return addElement(object, typeId, name, componentId, value, extra, state, false);
}

template <typename Keep>
uint32_t TpolyBdBlindData::collect(TbdDataPtrArray& out, Keep keep) const {
    uint32_t n = 0;
    for (uint32_t i = 0; i < nbElement(); ++i) {
        const TbdData& d = (*fData)[i];
        if (!d.isLive() || !keep(d)) continue;
        out.addLast(d);
        ++n;
    }
    return n;
}

bool TpolyBdBlindData::getBlindData(TbdDataPtrArray& out) const {
    return collect(out, [](const TbdData&) { return true; }) > 0;
}

bool TpolyBdBlindData::getBlindData(uint32_t componentId, TbdDataPtrArray& out) const {
    return collect(out, [componentId](const TbdData& d) { return d.componentId == componentId; }) > 0;
}

bool TpolyBdBlindData::getBlindData(uint32_t componentId, int32_t typeId, TbdDataPtrArray& out) const {
    const TbdTable& table = theBlindDataTable();
    return collect(out, [&](const TbdData& d) {
               return d.componentId == componentId && table.getBdTypeId(d.templateIndex) == typeId;
           }) > 0;
}

bool TpolyBdBlindData::getBlindData(uint32_t componentId, int32_t typeId, std::string_view name,
                                    TbdDataPtrArray& out) const {
    const uint32_t tmpl = theBlindDataTable().findBd(typeId, name);
    if (tmpl == TbdTable::kNotFound) return false;
    // The last one added wins, as it does when a value is replaced.
    for (uint32_t i = nbElement(); i-- > 0;) {
        const TbdData& d = (*fData)[i];
        if (d.isLive() && d.componentId == componentId && d.templateIndex == tmpl) {
            out.addLast(d);
            return true;
        }
    }
    return false;
}

void TpolyBdBlindData::clearData() { fData.reset(); }

void TpolyBdBlindData::swapData(TpolyBdBlindData& other) { fData.swap(other.fData); }

void TpolyBdBlindData::setData(uint32_t componentId, const TbdDataPtrArray& values) {
    removeData(componentId);
    TbdDataPtrArray& list = *data();
    for (uint32_t i = 0; i < values.size(); ++i) list.addLast(values[i]).componentId = componentId;
}

void TpolyBdBlindData::setData(const TbdDataPtrArray& values) { *data() = values; }

void TpolyBdBlindData::copyData(const TpolyBdBlindData& other, uint32_t count) {
    if (this == &other) return;
    TbdDataPtrArray copied;
    other.collect(copied, [count](const TbdData& d) { return d.componentId < count; });
    *data() = std::move(copied);
}

void TpolyBdBlindData::copyData(const TpolyBdBlindData& other) {
    if (this == &other) return;
    fData = other.fData ? std::make_unique<TbdDataPtrArray>(*other.fData) : nullptr;
}

std::unique_ptr<TbdDataPtrArray> TpolyBdBlindData::data(uint32_t componentId) const {
    auto out = std::make_unique<TbdDataPtrArray>();
    getBlindData(componentId, *out);
    return out;
}

TbdDataPtrArray* TpolyBdBlindData::data() {
    if (!fData) fData = std::make_unique<TbdDataPtrArray>();
    return fData.get();
}

const TbdDataPtrArray* TpolyBdBlindData::dataConst() const { return fData.get(); }

void TpolyBdBlindData::appendData(const TbdData* values, uint32_t count) {
    TbdDataPtrArray& list = *data();
    for (uint32_t i = 0; i < count; ++i) list.addLast(values[i]);
}

void TpolyBdBlindData::removeData(uint32_t componentId) {
    for (uint32_t i = 0; i < nbElement(); ++i) {
        TbdData& d = (*fData)[i];
        if (d.isLive() && d.componentId == componentId) d.state = TbdData::kRemoved;
    }
}

void TpolyBdBlindData::renumberInit() {}

void TpolyBdBlindData::renumberCleanup(bool dropRemoved) {
    if (!fData) return;
    for (uint32_t i = 0; i < fData->size(); ++i) {
        TbdData& d = (*fData)[i];
        if (d.state == TbdData::kRenumbered) d.state = TbdData::kLive;
    }
    if (dropRemoved) fData->removeIf([](const TbdData& d) { return d.state == TbdData::kRemoved; });
}

void TpolyBdBlindData::renumber(const void*) {}

void TpolyBdBlindData::renumber(uint32_t oldId, uint32_t newId) {
    for (uint32_t i = 0; i < nbElement(); ++i) {
        TbdData& d = (*fData)[i];
        if (!d.isLive() || d.componentId != oldId) continue;
        d.componentId = newId;
        d.state = TbdData::kRenumbered;
    }
}

void TpolyBdBlindData::debug(TdebugOutput& out) const {
    out << "blind data \"" << fName.str() << "\" elements " << nbElement() << '\n';
    for (uint32_t i = 0; i < nbElement(); ++i) {
        const TbdData& d = (*fData)[i];
        out << "  component " << d.componentId << " template " << d.templateIndex << " state " << uint32_t(d.state)
            << " extra " << uint32_t(d.extra) << " value " << d.value.bits << '\n';
    }
}

void TpolyBdBlindData::debugMe() const { debug(TdebugOutput::sCout); }
