unit Unknown;

interface

uses
  SysUtils, Shared;

type
  TFirst = record
    Stamp: TDateTime;
    Id: Integer;
    Remote: Shared.TRemote;
    Data: array[1..4] of TExternal;
    Ptr: ^TFirst;
    Flags: set of Byte;
    Amount: Single;
    Last: Word;
  end;

  TSecond = record
    Id: Integer;
  end;

implementation

end.
