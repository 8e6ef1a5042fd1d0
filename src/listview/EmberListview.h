#pragma once
// The list view control's unit: the control, its collections, items, groups, columns, storage
// variants, managers and the stream format.

#include "listview/EmberCollections.h"
#include "listview/EmberControl.h"
#include "listview/EmberStorage.h"
