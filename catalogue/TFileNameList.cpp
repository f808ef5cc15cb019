#include "catalogue/TFileNameList.h"

void TFileNameList::Reserve(std::size_t names, std::size_t bytes)
{
    FEnds.reserve(names);
    FSizes.reserve(names);
    FText.reserve(bytes);
}

void TFileNameList::Add(std::string_view name, std::uint64_t size)
{
    FText.append(name);
    End(size);
}

void TFileNameList::End(std::uint64_t size)
{
    FEnds.push_back(FText.size());
    FSizes.push_back(size);
    FTotal += size;
}
