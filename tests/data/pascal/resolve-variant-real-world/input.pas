{$A-}
unit Grades;

{ Shaped like the student file of a school office program: one Btrieve file holding two kinds of
  rows, with the variant written over several lines and an END inside a variant. }

interface

uses
  SysUtils;

const
  Max_Subjects = 10;   { per set }
  NameSize = 25;

type
  TSubject = packed record
    Code: array[1..4] of Char;
    Mark: Byte;
  end;

  TStudentRec = record
    RecType    : SmallInt;         // 5 = pupil, 6 = class
    Surname    : String[NameSize];
    Born       : TDate;
    case Integer of
      5: (
          First_set  : array[1..Max_Subjects] of TSubject;
          Second_set : array[1..Max_Subjects] of TSubject;
          Address    : record
                         Street : String[30];
                         Town   : String[20];
                       end;
          Absent     : Word
         );
      6: (
          Teacher    : String[NameSize];
          Room       : array[1..3] of Char;
          Pupils     : SmallInt
         );
  end;

  TNextRec = record
    Key: LongInt;
    Copy: TStudentRec;
    Flag: Boolean;
  end;

implementation

end.
