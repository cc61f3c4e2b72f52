unit Appoint;

{ The forms that stop the scan without declarations: a named bound, a bound that is a constant
  declared in the same unit, and a bound that is an expression. }

interface

uses
  SysUtils, Classes;

const
  MaxLen = 25;
  MAX_APPOINT_HISTORY = 20;

type
  TAppointRec = packed record
    Patient: String[MaxLen];
    History: array[1..MAX_APPOINT_HISTORY] of LongInt;
    Notes: array[20-1] of Char;  //#CM09/26/02correspondswith the paper form
    Booked: TDate;
  end;

implementation

end.
