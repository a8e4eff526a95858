#pragma once
// The interface the host knows, and the plug-in class behind it. The host
// calls through the virtual table by slot, so the slot order is fixed:
//   MNZRPluginInterface: 0 execute, 1 isAvailable
//   Stimloom:            0 execute, 1 isAvailable, 2 complete-object destructor, 3 deleting destructor
// The interface declares no destructor on purpose: its table holds exactly two slots.

#include "plugin/export.h"

class STIMLOOM_EXPORT MNZRPluginInterface {
 public:
  virtual bool execute() = 0;
  virtual bool isAvailable() const = 0;
};

class STIMLOOM_EXPORT Stimloom : public MNZRPluginInterface {
 public:
  Stimloom();
  virtual ~Stimloom();

  // One complete run: binds the host, shows the menu and carries out the
  // chosen operation. False only when the host cannot be bound or operation 1
  // finds no VMR open. Nothing thrown leaves it.
  bool execute() noexcept override;

  // Always true; checks nothing.
  bool isAvailable() const override;
};
