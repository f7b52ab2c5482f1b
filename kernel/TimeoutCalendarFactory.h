// Creation of timeout calendars, one factory per handling type. Each takes
// the storage type (0 to 2) and returns a new calendar (its container made
// by InitCalendar), or null for any other storage type. Engines ask for
// storage 0.
#pragma once

class TimeoutCalendarBase;

TimeoutCalendarBase* NewDeterministicTimeoutCalendar(int storageType);
TimeoutCalendarBase* NewRandomizedTimeoutCalendar(int storageType);
