// Template members of KeyedList.
#pragma once

#include "platform/automation/AutomationError.h"

namespace qz::query {

template <class T>
void KeyedList<T>::Fail(const std::string& what) {
    // The collection's own errors: invalid procedure call or argument.
    throw AutomationError(static_cast<std::int32_t>(0x800A0005u), "Collection", what);
}

template <class T>
const std::shared_ptr<T>& KeyedList<T>::Item(size_t position) const {
    if (position < 1 || position > items_.size())
        Fail("There is no item at position " + std::to_string(position) + ".");
    return items_[position - 1];
}

template <class T>
const std::shared_ptr<T>& KeyedList<T>::Item(std::string_view key) const {
    size_t i = IndexOf(key);
    if (i == npos) Fail("There is no item with the key '" + std::string(key) + "'.");
    return items_[i];
}

template <class T>
void KeyedList<T>::Add(std::string key, std::shared_ptr<T> item) {
    if (IndexOf(key) != npos) Fail("An item with the key '" + key + "' is already in the list.");
    keys_.push_back(std::move(key));
    items_.push_back(std::move(item));
}

template <class T>
void KeyedList<T>::Remove(std::string_view key) {
    size_t i = IndexOf(key);
    if (i == npos) Fail("There is no item with the key '" + std::string(key) + "'.");
    RemoveAt(i + 1);
}

template <class T>
void KeyedList<T>::RemoveAt(size_t position) {
    if (position < 1 || position > items_.size())
        Fail("There is no item at position " + std::to_string(position) + ".");
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(position - 1));
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(position - 1));
}

inline const std::shared_ptr<QBSearchCondition>& QBSearchConditionList::Item(size_t position) const {
    if (position < 1 || position > 6)
        throw AutomationError(static_cast<std::int32_t>(0x800A0009u), "QBSearchConditionList",
                              "Subscript out of range");
    return slots_[position - 1];
}

inline void QBSearchConditionList::SetSearchType(int type) {
    if (type < kMatchAll || type > kMatchNotAny)
        throw AutomationError(static_cast<std::int32_t>(0x80070057u), "QBSearchConditionList",
                              "Invalid argument: the match type must be 2, 3, 4 or 5.");
    searchType_ = type;
}

} // namespace qz::query
