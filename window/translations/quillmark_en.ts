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
        <source>Прошло проверку (%1%) - %2; %3 - %4: в каталог %5 нельзя записать (%6)</source>
        <translation>Passed the check (%1%) - %2; %3 - %4: the folder %5 cannot be written to (%6)</translation>
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
    <name>Tmainform</name>
    <message>
        <source>Программа для пакетной проверки текстов на сходство методом шинглов</source>
        <translation>A program that checks a batch of texts for similarity by shingles</translation>
    </message>
    <message>
        <source>Сайт автора:</source>
        <translation>Author&apos;s site:</translation>
    </message>
    <message>
        <source>Путь к каталогу с текстами для сравнения</source>
        <translation>Path to the folder of texts to compare</translation>
    </message>
    <message>
        <source>&amp;Выбрать..</source>
        <translation>&amp;Choose..</translation>
    </message>
    <message>
        <source>Путь к каталогу с текстами, успешно прошедшими сравнение</source>
        <translation>Path to the folder for texts that passed the comparison</translation>
    </message>
    <message>
        <source>Длина шингла</source>
        <translation>Shingle length</translation>
    </message>
    <message>
        <source>(10 - стандарт, 5 - жестко)</source>
        <translation>(10 - standard, 5 - strict)</translation>
    </message>
    <message>
        <source>Лемматизировать* слова</source>
        <translation>Lemmatize* words</translation>
    </message>
    <message>
        <source>Отбрасывать HTML</source>
        <translation>Cut HTML</translation>
    </message>
    <message>
        <source>Переместить прошедшие</source>
        <translation>Move the texts that</translation>
    </message>
    <message>
        <source>проверку тексты </source>
        <translation>passed the check </translation>
    </message>
    <message>
        <source>Допустимый процент совпадений</source>
        <translation>Allowed percentage of matches</translation>
    </message>
    <message>
        <source>Загрузка и подготовка текстов к анализу</source>
        <translation>Loading and preparing texts for analysis</translation>
    </message>
    <message>
        <source>Сравнение текстов</source>
        <translation>Comparing texts</translation>
    </message>
    <message>
        <source>Сохранение выборки по заданному фильтру</source>
        <translation>Saving the selection by the given filter</translation>
    </message>
    <message>
        <source>&amp;Новая выборка</source>
        <translation>&amp;New selection</translation>
    </message>
    <message>
        <source>Выполнить выборку из проанализированного пакета текстов с заданным фильтром</source>
        <translation>Select from the analysed batch of texts with the given filter</translation>
    </message>
    <message>
        <source>&amp;Сравнить</source>
        <translation>C&amp;ompare</translation>
    </message>
    <message>
        <source>&amp;Результат</source>
        <translation>&amp;Result</translation>
    </message>
    <message>
        <source>Таблица проверенных текстов, распределение сходства и журнал последнего сравнения</source>
        <translation>Table of checked texts, distribution of similarity and log of the last comparison</translation>
    </message>
    <message>
        <source>Выберите каталог</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>Путь к выбранному каталогу; его можно ввести и вручную, в том числе путь к скрытому каталогу</source>
        <translation>Path to the chosen folder; it can also be typed in, including the path to a hidden folder</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Выбрать</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>Результат</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Двойной щелчок по строке — сравнить текст с похожим</source>
        <translation>Double-click a row to compare the text with its match</translation>
    </message>
    <message>
        <source>Назад</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>&amp;Остановить</source>
        <translation>&amp;Stop</translation>
    </message>
    <message>
        <source>У текста «%1» нет общих шинглов ни с одним более ранним текстом: сравнивать не с чем.</source>
        <translation>The text “%1” shares no shingles with any earlier text: there is nothing to compare.</translation>
    </message>
    <message>
        <source>Недостаточно памяти, чтобы показать эти тексты.</source>
        <translation>Not enough memory to show these texts.</translation>
    </message>
    <message>
        <source>Сравнивать с уже принятыми</source>
        <translation>Compare with accepted texts</translation>
    </message>
    <message>
        <source>Каталог, тексты которого сравниваются друг с другом</source>
        <translation>The folder whose texts are compared with each other</translation>
    </message>
    <message>
        <source>Сюда переносятся тексты, прошедшие проверку; каталог создаётся, если его нет</source>
        <translation>The texts that pass are put here; the folder is made if it is missing</translation>
    </message>
    <message>
        <source>Сравнивать тексты и с теми, что уже лежат в каталоге прошедших проверку</source>
        <translation>Compare the texts also with those already in the folder of texts that passed</translation>
    </message>
    <message>
        <source>Сколько слов подряд составляют шингл: чем короче шингл, тем строже проверка</source>
        <translation>How many consecutive words make a shingle: the shorter the shingle, the stricter the check</translation>
    </message>
    <message>
        <source>* Слова сравниваются по началу, чтобы формы одного слова совпадали: от слова из 7 букв и длиннее остаются 6 первых, из 4–6 букв — 3, из 3 букв — 2</source>
        <translation>* Words are compared by their beginnings, so that the forms of one word match: a word of 7 letters or more keeps its first 6, one of 4–6 letters its first 3, one of 3 letters its first 2</translation>
    </message>
    <message>
        <source>Из веб-страниц сравнивается только их текст: разметка, скрипты и стили отбрасываются</source>
        <translation>Only the text of web pages is compared: markup, scripts and styles are left out</translation>
    </message>
    <message>
        <source>Включено — прошедшие тексты перемещаются, выключено — копируются, и исходные остаются на месте</source>
        <translation>On: the texts that pass are moved; off: they are copied, and the originals stay where they are</translation>
    </message>
    <message>
        <source>Текст проходит проверку, если его сходство с каждым более ранним текстом не больше этого процента</source>
        <translation>A text passes if its similarity to every earlier text is at most this percentage</translation>
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
        <source>документ старого формата Office (.doc) или зашифрованный документ</source>
        <translation>old Office document (.doc) or encrypted document</translation>
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
</context>
<context>
    <name>quillmark::ComparisonDialog</name>
    <message>
        <source>Сравнение: %1 и %2</source>
        <translation>Comparison: %1 and %2</translation>
    </message>
    <message>
        <source>№ %1: %2 (%3) — сходство %4%</source>
        <translation>No. %1: %2 (%3) — similarity %4%</translation>
    </message>
    <message>
        <source>Более ранний текст № %1: %2 (%3)</source>
        <translation>Earlier text No. %1: %2 (%3)</translation>
    </message>
    <message>
        <source>Подсвечены слова общих шинглов (длина %1)</source>
        <translation>Words of shared shingles are highlighted (length %1)</translation>
    </message>
    <message>
        <source>◀ Предыдущий</source>
        <translation>◀ Previous</translation>
    </message>
    <message>
        <source>Предыдущий общий фрагмент (%1)</source>
        <translation>Previous shared passage (%1)</translation>
    </message>
    <message>
        <source>Следующий ▶</source>
        <translation>Next ▶</translation>
    </message>
    <message>
        <source>Следующий общий фрагмент (%1)</source>
        <translation>Next shared passage (%1)</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Общих фрагментов нет</source>
        <translation>No shared passages</translation>
    </message>
    <message>
        <source>Фрагмент %1 из %2</source>
        <translation>Passage %1 of %2</translation>
    </message>
    <message>
        <source>Эталонный текст: %1 (%2)</source>
        <translation>Reference text: %1 (%2)</translation>
    </message>
    <message>
        <source>текущий фрагмент</source>
        <translation>current passage</translation>
    </message>
</context>
<context>
    <name>quillmark::ResultTableModel</name>
    <message>
        <source>✓ прошло</source>
        <translation>✓ passed</translation>
    </message>
    <message>
        <source>✗ не прошло</source>
        <translation>✗ failed</translation>
    </message>
    <message>
        <source>не прочитан</source>
        <translation>not read</translation>
    </message>
    <message>
        <source>Не прочитан: </source>
        <translation>Not read: </translation>
    </message>
    <message>
        <source>Сходство %1% не больше допустимых %2%</source>
        <translation>Similarity %1% is within the allowed %2%</translation>
    </message>
    <message>
        <source>Сходство %1% больше допустимых %2%</source>
        <translation>Similarity %1% is above the allowed %2%</translation>
    </message>
    <message>
        <source>Ни с одним более ранним текстом общих шинглов нет</source>
        <translation>No shingles shared with any earlier text</translation>
    </message>
    <message>
        <source>№ %1: %2 (двойной щелчок — сравнить)</source>
        <translation>No. %1: %2 (double-click to compare)</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Сходство, %</source>
        <translation>Similarity, %</translation>
    </message>
    <message>
        <source>Итог</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>Похож на</source>
        <translation>Similar to</translation>
    </message>
    <message>
        <source>Формат</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Место в списке каталога: каждый текст сравнивается с текстами выше него</source>
        <translation>Place in the folder list: each text is compared with the texts above it</translation>
    </message>
    <message>
        <source>Наибольшее сходство с одним из более ранних текстов</source>
        <translation>Highest similarity to one of the earlier texts</translation>
    </message>
    <message>
        <source>Прошло проверку, если сходство не больше %1%</source>
        <translation>Passed the check if the similarity is at most %1%</translation>
    </message>
    <message>
        <source>Первый более ранний текст с таким сходством</source>
        <translation>The first earlier text with this similarity</translation>
    </message>
    <message>
        <source>Формат файла и кодировка, в которой прочитан его текст</source>
        <translation>File format and the encoding its text was read in</translation>
    </message>
    <message>
        <source>Эталонный текст %1 (двойной щелчок — сравнить)</source>
        <translation>Reference text %1 (double-click to compare)</translation>
    </message>
    <message>
        <source>№</source>
        <translation>No.</translation>
    </message>
</context>
<context>
    <name>quillmark::ScoreChart</name>
    <message>
        <source>Сходство: сравнённых текстов нет</source>
        <translation>Similarity: no texts compared</translation>
    </message>
    <message>
        <source>Прошло %1 из %2 при пороге %3%</source>
        <translation>%1 of %2 passed at the %3% threshold</translation>
    </message>
    <message>
        <source>Сходство %1–%2%: текстов %3</source>
        <translation>Similarity %1–%2%: %3 texts</translation>
    </message>
    <message>
        <source>, не прошло %1</source>
        <translation>, %1 failed</translation>
    </message>
</context>
</TS>
