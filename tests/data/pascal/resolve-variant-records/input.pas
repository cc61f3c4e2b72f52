unit Variants;

interface

const
  NameLen = 20;

type
  TKind = (kCustomer, kSupplier, kNote);

  { One file, three kinds of row, told apart by a tag field. }
  TPartyRec = record
    Id: LongInt;
    case Kind: TKind of
      kCustomer: (
        Name: String[NameLen];
        Credit: Double);
      kSupplier, kNote: (
        Code: array[1..6] of Char;
        Terms: Word;
        Lines: array[1..3] of String[10]);
  end;

  (* Without a tag the case type takes no room; a nested variant part, and a variant part
     followed by nothing before END. *)
  TValueRec = packed record
    Code: Word;
    case Integer of
      1: (AsInt: LongInt);
      2: (AsReal: Double);
      3: (AsText: String[7];
          case Boolean of
            True: (Flag: Boolean);
            False: (Count: SmallInt; Spare: array[0..1] of Byte))
  end;

  // A pointer in one variant is not sized; the record holding it cannot be either.
  TLinked = record
    case Tag: Byte of
      0: (Next: ^TLinked; Size: Word);
      1: (Data: array[1..4] of Byte);
  end;

  TUse = record
    Value: TValueRec;
    Party: TPartyRec;
    Link: TLinked;
    Last: Byte;
  end;

implementation

end.
