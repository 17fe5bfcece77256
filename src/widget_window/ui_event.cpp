#include "widget_window/ui_event.h"

#include <memory>
#include <set>
#include <vector>

namespace {
int g_event_type_counter = 0;
// Created by the first observer, deleted when the last one leaves.
std::unique_ptr<std::set<CUIEventObserver*>> g_observers;
}  // namespace

int CUIEventParam::NextEventType() { return g_event_type_counter++; }

CUIEventObserver::CUIEventObserver() {
  if (!g_observers) g_observers = std::make_unique<std::set<CUIEventObserver*>>();
  g_observers->insert(this);
}

CUIEventObserver::~CUIEventObserver() {
  if (!g_observers) return;
  g_observers->erase(this);
  if (g_observers->empty()) g_observers.reset();
}

size_t CUIEventObserver::ObserverCount() { return g_observers ? g_observers->size() : 0; }

void DispatchUIEvent(const CUIEventParam* event) {
  if (!g_observers || !event) return;
  // A handler may create or destroy observers: walk a snapshot and re-check membership.
  const std::vector<CUIEventObserver*> snapshot(g_observers->begin(), g_observers->end());
  for (CUIEventObserver* observer : snapshot) {
    if (!g_observers || g_observers->count(observer) == 0) continue;
    observer->OnUIEvent(event);
  }
}
