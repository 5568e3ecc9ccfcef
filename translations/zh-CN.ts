<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>DataModel</name>
    <message>
        <source>NO.</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>温度</translation>
    </message>
    <message>
        <source>Humidity</source>
        <translation>湿度</translation>
    </message>
    <message>
        <source>Dew Point</source>
        <translation>露点</translation>
    </message>
    <message>
        <source>Wet Bulb</source>
        <translation>湿球温度</translation>
    </message>
</context>
<context>
    <name>DlgOption</name>
    <message>
        <source>Options</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>Sample Rate</source>
        <translation>采样间隔</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>毫秒</translation>
    </message>
    <message>
        <source>Sample Points</source>
        <translation>采样点数</translation>
    </message>
    <message>
        <source>Infinite</source>
        <translation>不限</translation>
    </message>
    <message>
        <source>Skip Repeat</source>
        <translation>跳过重复值</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英文</translation>
    </message>
</context>
<context>
    <name>DlgSettings</name>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>单位</translation>
    </message>
    <message>
        <source>℃</source>
        <translation>℃</translation>
    </message>
    <message>
        <source>℉</source>
        <translation>℉</translation>
    </message>
    <message>
        <source>Storage Interval</source>
        <translation>存储间隔</translation>
    </message>
    <message>
        <source>(0-3600)</source>
        <translation>(0-3600)</translation>
    </message>
    <message>
        <source>s</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>Auto Power</source>
        <translation>自动关机</translation>
    </message>
    <message>
        <source>(5-60)</source>
        <translation>(5-60)</translation>
    </message>
    <message>
        <source>m</source>
        <translation>分钟</translation>
    </message>
    <message>
        <source>PC</source>
        <translation>电脑时间</translation>
    </message>
    <message>
        <source>yyyy/M/d H:mm:ss</source>
        <translation>yyyy/M/d H:mm:ss</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>更新</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>报警</translation>
    </message>
    <message>
        <source>High Temperature </source>
        <translation>温度上限 </translation>
    </message>
    <message>
        <source>(-20.0-70.0)</source>
        <translation>(-20.0-70.0)</translation>
    </message>
    <message>
        <source>Low Temperature </source>
        <translation>温度下限 </translation>
    </message>
    <message>
        <source>High Humidity </source>
        <translation>湿度上限 </translation>
    </message>
    <message>
        <source>(0-99.9)</source>
        <translation>(0-99.9)</translation>
    </message>
    <message>
        <source>%RH</source>
        <translation>%RH</translation>
    </message>
    <message>
        <source>Low Humidity</source>
        <translation>湿度下限</translation>
    </message>
    <message>
        <source>High Dew Point </source>
        <translation>露点上限 </translation>
    </message>
    <message>
        <source>(-78.2-70.0)</source>
        <translation>(-78.2-70.0)</translation>
    </message>
    <message>
        <source>Low Dew Point </source>
        <translation>露点下限 </translation>
    </message>
    <message>
        <source>High Wet Bulb </source>
        <translation>湿球温度上限 </translation>
    </message>
    <message>
        <source>(-21.6-70.0)</source>
        <translation>(-21.6-70.0)</translation>
    </message>
    <message>
        <source>Low Wet Bulb </source>
        <translation>湿球温度下限 </translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>偏移校正</translation>
    </message>
    <message>
        <source>Temperature </source>
        <translation>温度 </translation>
    </message>
    <message>
        <source>(-6.0-6.0)</source>
        <translation>(-6.0-6.0)</translation>
    </message>
    <message>
        <source>Humidity</source>
        <translation>湿度</translation>
    </message>
    <message>
        <source>Dew Point</source>
        <translation>露点</translation>
    </message>
    <message>
        <source>Wet Bulb</source>
        <translation>湿球温度</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>PdfReport</name>
    <message>
        <source>The report could not be started.</source>
        <translation>无法开始生成报告。</translation>
    </message>
    <message>
        <source>The report could not be completed.</source>
        <translation>报告未能生成完毕。</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>概要</translation>
    </message>
</context>
<context>
    <name>ReportSummary</name>
    <message>
        <source>Item name</source>
        <translation>项目名称</translation>
    </message>
    <message>
        <source>First reading</source>
        <translation>首个读数</translation>
    </message>
    <message>
        <source>Last reading</source>
        <translation>最后读数</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>持续时间</translation>
    </message>
    <message>
        <source>Readings</source>
        <translation>读数个数</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>最小值</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>最大值</translation>
    </message>
    <message>
        <source>Average</source>
        <translation>平均值</translation>
    </message>
    <message>
        <source>%1 d %2</source>
        <translation>%1 天 %2</translation>
    </message>
</context>
<context>
    <name>StoreSession</name>
    <message>
        <source>The measurement store could not be read. It was renamed to %1 and a new one was started.</source>
        <translation>无法读取测量数据库，已将其重命名为 %1，并新建了一个数据库。</translation>
    </message>
    <message>
        <source>The last session did not end normally: %1 readings were recovered.</source>
        <translation>上次运行未正常结束：已恢复 %1 条读数。</translation>
    </message>
    <message>
        <source>Measurements are not being saved.</source>
        <translation>测量数据未被保存。</translation>
    </message>
    <message>
        <source>Measurements are not being saved: the measurement store cannot be used.
%1
%2</source>
        <translation>测量数据未被保存：无法使用测量数据库。
%1
%2</translation>
    </message>
</context>
<context>
    <name>Widget</name>
    <message>
        <source>TEMP</source>
        <translation>温度</translation>
    </message>
    <message>
        <source>00000</source>
        <translation>00000</translation>
    </message>
    <message>
        <source>℃</source>
        <translation>℃</translation>
    </message>
    <message>
        <source>HUMI</source>
        <translation>湿度</translation>
    </message>
    <message>
        <source>%RH</source>
        <translation>%RH</translation>
    </message>
    <message>
        <source>DP</source>
        <translation>露点</translation>
    </message>
    <message>
        <source>WB</source>
        <translation>湿球</translation>
    </message>
    <message>
        <source>Item Tool</source>
        <translation>项目工具栏</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>温度</translation>
    </message>
    <message>
        <source>Humidity</source>
        <translation>湿度</translation>
    </message>
    <message>
        <source>Dew Point</source>
        <translation>露点</translation>
    </message>
    <message>
        <source>Wet Bulb</source>
        <translation>湿球温度</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>工具栏</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>&amp;Disconnect</source>
        <translation>断开(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>选项(&amp;O)</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation>关闭(&amp;L)</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>&amp;Manual</source>
        <translation>用户手册(&amp;M)</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新建</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>重命名</translation>
    </message>
    <message>
        <source>Set to active</source>
        <translation>设为活动项</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>下载</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>导入</translation>
    </message>
    <message>
        <source>Sync Time</source>
        <translation>同步时间</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Store Data</source>
        <translation>存储数据</translation>
    </message>
    <message>
        <source>Live Data</source>
        <translation>实时数据</translation>
    </message>
    <message>
        <source>These chart pictures could not be written:
%1</source>
        <translation>以下图表图片无法写入：
%1</translation>
    </message>
    <message>
        <source>The datas is exported successfully.</source>
        <translation>数据导出成功。</translation>
    </message>
    <message>
        <source>The table has more rows than an .xls workbook can hold (%1 readings), so nothing was exported. Please choose the .xlsx format to export all of them.</source>
        <translation>表格的行数超出了 .xls 工作簿的容量（%1 条读数），未导出任何数据。请选择 .xlsx 格式以导出全部读数。</translation>
    </message>
    <message>
        <source>The datas is exported failed.</source>
        <translation>数据导出失败。</translation>
    </message>
    <message>
        <source>The datas is imported failed.</source>
        <translation>数据导入失败。</translation>
    </message>
    <message numerus="yes">
        <source>%n row(s) of the workbook could not be read as readings and were skipped.</source>
        <translation>
            <numerusform>工作簿中有 %n 行无法读取为读数，已跳过。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n formula cell(s) of the workbook had no saved result and were read as empty. Open the workbook in a spreadsheet program and save it there to have them calculated.</source>
        <translation>
            <numerusform>工作簿中有 %n 个公式单元格没有保存计算结果，已按空白读取。请在电子表格程序中打开并保存该工作簿，以计算这些公式。</numerusform>
        </translation>
    </message>
    <message>
        <source>Parameters saved successfully.</source>
        <translation>参数保存成功。</translation>
    </message>
    <message>
        <source>Are you sure delete this item?</source>
        <translation>确定要删除此项目吗？</translation>
    </message>
    <message>
        <source>NUM</source>
        <translation>数量</translation>
    </message>
    <message>
        <source>MIN</source>
        <translation>最小</translation>
    </message>
    <message>
        <source>MAX</source>
        <translation>最大</translation>
    </message>
    <message>
        <source>AVG</source>
        <translation>平均</translation>
    </message>
    <message>
        <source>The storing data is empty.</source>
        <translation>仪表中没有存储数据。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Downdloading...</source>
        <translation>正在下载...</translation>
    </message>
    <message>
        <source>All stored data have been downloaded.</source>
        <translation>全部存储数据已下载完毕。</translation>
    </message>
    <message>
        <source>Only %1 of %2 stored records were downloaded.</source>
        <translation>仅下载了 %2 条存储记录中的 %1 条。</translation>
    </message>
    <message>
        <source>The link to the meter was lost: %1 of %2 stored records were downloaded.</source>
        <translation>与仪表的连接已断开：已下载 %2 条存储记录中的 %1 条。</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>Date Time</source>
        <translation>日期时间</translation>
    </message>
    <message>
        <source>Fit value axis to data</source>
        <translation>数值轴适应数据范围</translation>
    </message>
    <message>
        <source>Failed to open device.</source>
        <translation>打开设备失败。</translation>
    </message>
    <message>
        <source>Can not open file.</source>
        <translation>无法打开文件。</translation>
    </message>
    <message>
        <source>Changes will take effect when you restart application.</source>
        <translation>更改将在重新启动程序后生效。</translation>
    </message>
    <message>
        <source>The data are empty.</source>
        <translation>没有数据。</translation>
    </message>
    <message>
        <source>Export the chart to a picture.</source>
        <translation>将图表导出为图片</translation>
    </message>
    <message>
        <source>Export the data to a pdf file.</source>
        <translation>将数据导出为 PDF 文件</translation>
    </message>
    <message>
        <source>Writing the report...</source>
        <translation>正在生成报告...</translation>
    </message>
    <message>
        <source>The report could not be written.
%1</source>
        <translation>无法写入报告。
%1</translation>
    </message>
    <message>
        <source>The data are exported successfully.</source>
        <translation>数据导出成功。</translation>
    </message>
    <message>
        <source>Export the datas to a excel file.</source>
        <translation>将数据导出为 Excel 文件</translation>
    </message>
    <message>
        <source>Import the datas from a excel file.</source>
        <translation>从 Excel 文件导入数据</translation>
    </message>
    <message>
        <source>The data is imported successfully.</source>
        <translation>数据导入成功。</translation>
    </message>
    <message>
        <source>Excel Files(*.xls *.xlsx)</source>
        <translation>Excel 文件(*.xls *.xlsx)</translation>
    </message>
    <message>
        <source>Excel and CSV Files(*.xls *.xlsx *.csv)</source>
        <translation>Excel 和 CSV 文件(*.xls *.xlsx *.csv)</translation>
    </message>
    <message>
        <source>Exporting the readings...</source>
        <translation>正在导出读数...</translation>
    </message>
    <message>
        <source>Importing the readings...</source>
        <translation>正在导入读数...</translation>
    </message>
</context>
<context>
    <name>dlgExport</name>
    <message>
        <source>Table(XLS)</source>
        <translation>表格(XLS)</translation>
    </message>
    <message>
        <source>Chart(JPG)</source>
        <translation>图表(JPG)</translation>
    </message>
    <message>
        <source>PDF</source>
        <translation>PDF</translation>
    </message>
</context>
<context>
    <name>SafeFile</name>
    <message>
        <source>A folder of that name is in the way.</source>
        <translation>已有同名的文件夹。</translation>
    </message>
    <message>
        <source>The file could not be saved to the disk.</source>
        <translation>文件无法保存到磁盘。</translation>
    </message>
    <message>
        <source>The file on the disk is incomplete.</source>
        <translation>磁盘上的文件不完整。</translation>
    </message>
</context>
</TS>
