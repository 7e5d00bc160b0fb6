<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>BatchEngine</name>
    <message>
        <source>Сравнение текстов</source>
        <translation>Comparing texts</translation>
    </message>
    <message>
        <source>Неверный путь к каталогу с исходными текстами, проверьте и исправьте.</source>
        <translation>Wrong path to the folder of source texts; check and correct it.</translation>
    </message>
    <message>
        <source>Начало работы..</source>
        <translation>Starting..</translation>
    </message>
    <message>
        <source>Прошло проверку (%1%) - %2</source>
        <translation>Passed the check (%1%) - %2</translation>
    </message>
    <message>
        <source>Символическая ссылка &quot;%1&quot; пропущена</source>
        <translation>Symbolic link &quot;%1&quot; skipped</translation>
    </message>
    <message>
        <source>Временный файл &quot;%1&quot; пропущен</source>
        <translation>Temporary file &quot;%1&quot; skipped</translation>
    </message>
    <message>
        <source>кэш эталонных текстов недоступен</source>
        <translation>the reference cache cannot be used</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; пропал из исходного каталога, а в каталоге %2 лежит другой файл с этим именем</source>
        <translation>File &quot;%1&quot; is gone from the source folder, and the folder %2 holds another file of that name</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не прочитан: %2</source>
        <translation>File &quot;%1&quot; not read: %2</translation>
    </message>
    <message>
        <source>Загружено файлов: </source>
        <translation>Files loaded: </translation>
    </message>
    <message>
        <source>В каталоге нет текстов для сравнения</source>
        <translation>The folder holds no texts to compare</translation>
    </message>
    <message>
        <source>, не прочитано - %1</source>
        <translation>, not read - %1</translation>
    </message>
    <message>
        <source>Остановлено. Прошло проверку - 0 из 0</source>
        <translation>Stopped. Passed the check - 0 of 0</translation>
    </message>
    <message>
        <source>Остановлено. Прошло проверку - %1 из %2</source>
        <translation>Stopped. Passed the check - %1 of %2</translation>
    </message>
    <message>
        <source>Прошло проверку - %1; сохраняю результаты..</source>
        <translation>Passed the check - %1; saving the results..</translation>
    </message>
    <message>
        <source>Сравнение выполнено, успешно прошло порог в %1% - %2 файлов</source>
        <translation>Comparison done; files within the %1% threshold - %2</translation>
    </message>
    <message>
        <source>Не удалось создать каталог </source>
        <translation>Could not create the folder </translation>
    </message>
    <message>
        <source>Неполная выборка (%1 из %2). </source>
        <translation>Partial selection (%1 of %2). </translation>
    </message>
    <message>
        <source>; остались не прошедшие - %1</source>
        <translation>; failing texts left in place - %1</translation>
    </message>
    <message>
        <source>Сохранение выборки по заданному фильтру</source>
        <translation>Saving the selection by the given filter</translation>
    </message>
    <message>
        <source>перемещено</source>
        <translation>moved</translation>
    </message>
    <message>
        <source>скопировано</source>
        <translation>copied</translation>
    </message>
    <message>
        <source>, уже на месте - %1</source>
        <translation>, already in place - %1</translation>
    </message>
    <message>
        <source>, не %1 - %2</source>
        <translation>, not %1 - %2</translation>
    </message>
    <message>
        <source>Прошло проверку (%1%) - %2; </source>
        <translation>Passed the check (%1%) - %2; </translation>
    </message>
    <message>
        <source>Остановлено. </source>
        <translation>Stopped. </translation>
    </message>
    <message>
        <source>Остановлено при сохранении: %1 - %2, не дошло до файлов - %3</source>
        <translation>Stopped while saving: %1 - %2, files not reached - %3</translation>
    </message>
    <message>
        <source>Выборка сохранена в каталог </source>
        <translation>Selection saved to the folder </translation>
    </message>
    <message>
        <source> файлов - </source>
        <translation> files - </translation>
    </message>
    <message>
        <source>Не удалось сохранить файлов: %1</source>
        <translation>Files that could not be saved: %1</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; уже есть в каталоге %2, оставлен на месте</source>
        <translation>File &quot;%1&quot; is already in the folder %2; left in place</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; изменился после чтения, оставлен на месте</source>
        <translation>File &quot;%1&quot; changed after it was read; left in place</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; изменился во время перемещения: копия прежнего текста сохранена в каталог %2, файл оставлен на месте</source>
        <translation>File &quot;%1&quot; changed while being moved: a copy of the earlier text was saved to the folder %2, the file was left in place</translation>
    </message>
    <message>
        <source>Не удалось переместить файл &quot;%1&quot;: %2</source>
        <translation>Could not move the file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Не удалось скопировать файл &quot;%1&quot;: %2</source>
        <translation>Could not copy the file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Выборка не сделана: каталог с текстами сменился после сравнения. Нажмите «Сравнить».</source>
        <translation>No selection made: the folder of texts changed after the comparison. Press “Compare”.</translation>
    </message>
    <message>
        <source>Новая выборка делается только из каталога последнего сравнения (%1), а указан каталог %2. Чтобы проверить его, нажмите «Сравнить».</source>
        <translation>A new selection is made only from the folder of the last comparison (%1), but the folder %2 is given. To check it, press “Compare”.</translation>
    </message>
    <message>
        <source>Сделав предыдущий анализ, Вы переместили выборку из подходящих текстов в другой каталог. Сейчас Вы хотите сделать более строгую выборку (%1%). Хотите переместить те тексты обратно прежде, чем делать новую выборку?</source>
        <translation>After the previous analysis you moved the selection of passing texts to another folder. Now you want a stricter selection (%1%). Do you want to move those texts back before making the new selection?</translation>
    </message>
    <message>
        <source>В каталоге %1 остались тексты, не проходящие порог %2%: %3</source>
        <translation>Texts not within the %2% threshold remain in the folder %1: %3</translation>
    </message>
    <message>
        <source>Выборка неполная: сравнение было остановлено, выбор идёт из первых %1 текстов из %2</source>
        <translation>Partial selection: the comparison was stopped; choosing from the first %1 texts of %2</translation>
    </message>
    <message>
        <source>Новая выборка с порогом %1%</source>
        <translation>New selection with the threshold %1%</translation>
    </message>
    <message>
        <source>длина шингла %1, лемматизация %2, HTML %3</source>
        <translation>shingle length %1, lemmatization %2, HTML %3</translation>
    </message>
    <message>
        <source>включена</source>
        <translation>on</translation>
    </message>
    <message>
        <source>выключена</source>
        <translation>off</translation>
    </message>
    <message>
        <source>отбрасывался</source>
        <translation>cut</translation>
    </message>
    <message>
        <source>не отбрасывался</source>
        <translation>kept</translation>
    </message>
    <message>
        <source>Оценки взяты из последнего сравнения, настройки которого менялись по ходу загрузки (у первого текста: %1); новые настройки действуют со следующего сравнения</source>
        <translation>Scores are taken from the last comparison, whose settings changed during loading (for the first text: %1); new settings apply from the next comparison</translation>
    </message>
    <message>
        <source>Оценки взяты из последнего сравнения (%1); новые настройки действуют со следующего сравнения</source>
        <translation>Scores are taken from the last comparison (%1); new settings apply from the next comparison</translation>
    </message>
    <message>
        <source>Каталог эталонных текстов %1 пропущен: он уже сравнивается</source>
        <translation>Reference folder %1 skipped: it is already being compared</translation>
    </message>
    <message>
        <source>Кэш эталонных текстов был повреждён и создан заново</source>
        <translation>The reference cache was damaged and has been made anew</translation>
    </message>
    <message>
        <source>Кэш эталонных текстов прежней версии очищен и заполняется заново</source>
        <translation>The reference cache of an earlier version was emptied and is being filled anew</translation>
    </message>
    <message>
        <source>Кэш эталонных текстов не используется: %1</source>
        <translation>Reference cache not used: %1</translation>
    </message>
    <message>
        <source>Каталог эталонных текстов не читается: %1</source>
        <translation>Reference folder cannot be read: %1</translation>
    </message>
    <message>
        <source>Загружено эталонных текстов: %1</source>
        <translation>Reference texts loaded: %1</translation>
    </message>
    <message>
        <source>Эталонный файл &quot;%1&quot; не прочитан: %2</source>
        <translation>Reference file &quot;%1&quot; not read: %2</translation>
    </message>
    <message>
        <source>Кэш эталонных текстов не обновлён: %1</source>
        <translation>Reference cache not updated: %1</translation>
    </message>
    <message>
        <source>Выборка не сделана: каталога с текстами больше нет.</source>
        <translation>No selection made: the folder of texts is no longer there.</translation>
    </message>
    <message>
        <source>Каталог с текстами последнего сравнения (%1) не найден: он удалён, переименован или недоступен.</source>
        <translation>The folder of texts of the last comparison (%1) is not found: it was removed, renamed or cannot be reached.</translation>
    </message>
    <message>
        <source>не перемещено</source>
        <translation>not moved</translation>
    </message>
    <message>
        <source>не скопировано</source>
        <translation>not copied</translation>
    </message>
    <message>
        <source>Выборка не сохранена: в каталог %1 нельзя записать (%2)</source>
        <translation>Selection not saved: the folder %1 cannot be written to (%2)</translation>
    </message>
    <message>
        <source>имя занято - %1</source>
        <translation>name taken - %1</translation>
    </message>
    <message>
        <source>ошибок - %1</source>
        <translation>errors - %1</translation>
    </message>
    <message>
        <source>Выборка не сохранена в каталог </source>
        <translation>Selection not saved to the folder </translation>
    </message>
    <message>
        <source>Прошло проверку (%1%) - %2; %3 - %4: в каталог для прошедших нельзя записать (%5)</source>
        <translation>Passed the check (%1%) - %2; %3 - %4: the output folder cannot be written to (%5)</translation>
    </message>
    <message>
        <source>Текст «%1»: подмена символов — %2 слов</source>
        <translation>Text «%1»: disguised characters — %2 words</translation>
    </message>
    <message>
        <source>, подмена символов распознавалась</source>
        <translation>, disguised characters recognised</translation>
    </message>
    <message>
        <source>Файл шаблона &quot;%1&quot; не прочитан: %2</source>
        <translation>Template file &quot;%1&quot; not read: %2</translation>
    </message>
    <message>
        <source>Шаблон &quot;%1&quot; не прочитан: %2</source>
        <translation>Template &quot;%1&quot; not read: %2</translation>
    </message>
    <message>
        <source>Шаблон &quot;%1&quot; не найден</source>
        <translation>Template &quot;%1&quot; not found</translation>
    </message>
    <message>
        <source>В шаблоне &quot;%1&quot; нет текста</source>
        <translation>Template &quot;%1&quot; holds no text</translation>
    </message>
    <message>
        <source>Шаблон &quot;%1&quot;: не учитываются фрагментов - %2</source>
        <translation>Template &quot;%1&quot;: fragments not counted - %2</translation>
    </message>
    <message>
        <source>Общие для %1% текстов фрагменты: не учитываются фрагментов - %2</source>
        <translation>Fragments common to %1% of the texts: not counted - %2</translation>
    </message>
    <message>
        <source>Текст «%1»: только общий текст</source>
        <translation>Text «%1»: common text only</translation>
    </message>
    <message>
        <source>Оценки взяты из последнего сравнения, в котором общий текст учитывался по-другому (%1); новые настройки действуют со следующего сравнения</source>
        <translation>Scores are taken from the last comparison, which left out common text differently (%1); new settings apply from the next comparison</translation>
    </message>
    <message>
        <source>шаблон &quot;%1&quot;</source>
        <translation>template &quot;%1&quot;</translation>
    </message>
    <message>
        <source>не учитывались фрагменты, общие для %1% текстов</source>
        <translation>fragments common to %1% of the texts not counted</translation>
    </message>
    <message>
        <source>весь текст учитывался</source>
        <translation>all text counted</translation>
    </message>
    <message>
        <source>Сохранённые тексты не добавлены в общий архив: %1. Они остаются в каталоге для прошедших; добавьте их в архив позже</source>
        <translation>The saved texts were not added to the team archive: %1. They stay in the output folder; add them to the archive later</translation>
    </message>
</context>
<context>
    <name>DocumentPair</name>
    <message>
        <source>Файл &quot;%1&quot; не найден ни в каталоге с исходными текстами, ни в каталоге выборки.</source>
        <translation>File &quot;%1&quot; was found neither in the folder of source texts nor in the selection folder.</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; изменился после проверки: его текст уже не тот, что сравнивался.</source>
        <translation>File &quot;%1&quot; changed after the check: its text is no longer the one compared.</translation>
    </message>
    <message>
        <source>Нет такой пары проверенных текстов.</source>
        <translation>There is no such pair of checked texts.</translation>
    </message>
</context>
<context>
    <name>ReferenceCache</name>
    <message>
        <source>Индекс образцов %1: %2</source>
        <translation>Reference index %1: %2</translation>
    </message>
    <message>
        <source>это база данных другой программы, она оставлена как есть</source>
        <translation>it is another program&apos;s database; left as it is</translation>
    </message>
    <message>
        <source>создан другой версией программы, он оставлен как есть</source>
        <translation>made by another version of the program; left as it is</translation>
    </message>
    <message>
        <source>им пользуется другой запуск программы</source>
        <translation>another run of the program is using it</translation>
    </message>
</context>
<context>
    <name>SystemError</name>
    <message>
        <source>Нет такого файла или каталога</source>
        <translation>No such file or directory</translation>
    </message>
    <message>
        <source>Отказано в доступе</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>Операция не позволена</source>
        <translation>Operation not permitted</translation>
    </message>
    <message>
        <source>Файловая система доступна только для чтения</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>На устройстве не осталось свободного места</source>
        <translation>No space left on device</translation>
    </message>
    <message>
        <source>Превышена дисковая квота</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>Файл существует</source>
        <translation>File exists</translation>
    </message>
    <message>
        <source>Это не каталог</source>
        <translation>Not a directory</translation>
    </message>
    <message>
        <source>Это каталог</source>
        <translation>Is a directory</translation>
    </message>
    <message>
        <source>Каталог не пуст</source>
        <translation>Directory not empty</translation>
    </message>
    <message>
        <source>Слишком длинное имя файла</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>Слишком много уровней символьных ссылок</source>
        <translation>Too many levels of symbolic links</translation>
    </message>
    <message>
        <source>Ошибка ввода-вывода</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>Устройство или ресурс занято</source>
        <translation>Device or resource busy</translation>
    </message>
    <message>
        <source>Текстовый файл занят</source>
        <translation>Text file busy</translation>
    </message>
    <message>
        <source>Слишком много открытых файлов</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>Слишком много открытых файлов в системе</source>
        <translation>Too many open files in system</translation>
    </message>
    <message>
        <source>Невозможно выделить память</source>
        <translation>Cannot allocate memory</translation>
    </message>
    <message>
        <source>Файл слишком велик</source>
        <translation>File too large</translation>
    </message>
    <message>
        <source>Неверная ссылка между устройствами</source>
        <translation>Invalid cross-device link</translation>
    </message>
    <message>
        <source>Недопустимый аргумент</source>
        <translation>Invalid argument</translation>
    </message>
    <message>
        <source>Устаревший дескриптор файла</source>
        <translation>Stale file handle</translation>
    </message>
    <message>
        <source>Нет такого устройства</source>
        <translation>No such device</translation>
    </message>
    <message>
        <source>Нет такого устройства или адреса</source>
        <translation>No such device or address</translation>
    </message>
    <message>
        <source>Ресурс временно недоступен</source>
        <translation>Resource temporarily unavailable</translation>
    </message>
    <message>
        <source>Прерван системный вызов</source>
        <translation>Interrupted system call</translation>
    </message>
    <message>
        <source>Значение слишком велико для этого типа данных</source>
        <translation>Value too large for defined data type</translation>
    </message>
</context>
<context>
    <name>TerminalHost</name>
    <message>
        <source>Загрузка текстов</source>
        <translation>Loading texts</translation>
    </message>
    <message>
        <source>Сравнение текстов</source>
        <translation>Comparing texts</translation>
    </message>
    <message>
        <source>Сохранение выборки</source>
        <translation>Saving the selection</translation>
    </message>
</context>
<context>
    <name>UnreadableText</name>
    <message>
        <source>исполняемый файл</source>
        <translation>executable file</translation>
    </message>
    <message>
        <source>изображение</source>
        <translation>image</translation>
    </message>
    <message>
        <source>архив</source>
        <translation>archive</translation>
    </message>
    <message>
        <source>документ повреждён или зашифрован</source>
        <translation>document damaged or encrypted</translation>
    </message>
    <message>
        <source>документ зашифрован</source>
        <translation>document encrypted</translation>
    </message>
    <message>
        <source>документ распаковывается больше допустимого (в 64 раза больше файла или больше 256 МБ)</source>
        <translation>document unpacks to more than allowed (64 times the file or over 256 MB)</translation>
    </message>
    <message>
        <source>архив, в котором нет документа</source>
        <translation>archive holding no document</translation>
    </message>
    <message>
        <source>в EPUB больше 5000 разделов</source>
        <translation>EPUB has more than 5000 sections</translation>
    </message>
    <message>
        <source>в PDF больше 20000 страниц</source>
        <translation>PDF has more than 20000 pages</translation>
    </message>
    <message>
        <source>PDF читается дольше 30 секунд</source>
        <translation>PDF takes longer than 30 seconds to read</translation>
    </message>
    <message>
        <source>текст PDF больше 256 МБ</source>
        <translation>PDF text over 256 MB</translation>
    </message>
    <message>
        <source>в PDF нет текстового слоя (скан?)</source>
        <translation>PDF has no text layer (a scan?)</translation>
    </message>
    <message>
        <source>файл больше 256 МБ</source>
        <translation>file over 256 MB</translation>
    </message>
    <message>
        <source>документ повреждён</source>
        <translation>document damaged</translation>
    </message>
    <message>
        <source>в RTF больше 1000 вложенных групп</source>
        <translation>RTF nests more than 1000 groups</translation>
    </message>
    <message>
        <source>в RTF нет текста</source>
        <translation>RTF holds no text</translation>
    </message>
    <message>
        <source>файл Office без документа Word (таблица, презентация?)</source>
        <translation>Office file without a Word document (a spreadsheet, a presentation?)</translation>
    </message>
    <message>
        <source>документ Word 6.0 или 95: читаются Word 97 и новее</source>
        <translation>Word 6.0 or 95 document: Word 97 and later are read</translation>
    </message>
</context>
<context>
    <name>quillmark::ArchiveConnection</name>
    <message>
        <source>Адрес общего архива не задан</source>
        <translation>No address of the team archive is given</translation>
    </message>
    <message>
        <source>Общий архив %1 недоступен: %2</source>
        <translation>The team archive %1 cannot be reached: %2</translation>
    </message>
    <message>
        <source>связь с сервером потеряна (%1)</source>
        <translation>the connection to the server was lost (%1)</translation>
    </message>
    <message>
        <source>Общий архив %1: %2</source>
        <translation>Team archive %1: %2</translation>
    </message>
</context>
<context>
    <name>quillmark::ArchiveSet</name>
    <message>
        <source>Общий архив: текстов с этими настройками - %1</source>
        <translation>Team archive: texts with these settings - %1</translation>
    </message>
    <message>
        <source>Общий архив: добавлено текстов - %1</source>
        <translation>Team archive: texts added - %1</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не добавлен в архив: %2</source>
        <translation>File &quot;%1&quot; not added to the archive: %2</translation>
    </message>
    <message>
        <source>Адрес общего архива не задан</source>
        <translation>No address of the team archive is given</translation>
    </message>
</context>
<context>
    <name>quillmark::TeamArchive</name>
    <message>
        <source>Общий архив %1 устроен по схеме версии %2, эта программа знает версию %3; архив оставлен как есть</source>
        <translation>The team archive %1 has schema version %2, this program knows version %3; the archive is left as it is</translation>
    </message>
    <message>
        <source>текст %1 (№%2): отпечаток повреждён</source>
        <translation>text %1 (no. %2): its fingerprint is damaged</translation>
    </message>
    <message>
        <source>строка указателей диапазона %1 повреждена</source>
        <translation>the postings row of range %1 is damaged</translation>
    </message>
    <message>
        <source>текст №%1: указатели не сходятся с отпечатком (%2)</source>
        <translation>text no. %1: its postings do not agree with its fingerprint (%2)</translation>
    </message>
    <message>
        <source>текстов без отпечатка - %1</source>
        <translation>texts without a fingerprint - %1</translation>
    </message>
</context>
</TS>
